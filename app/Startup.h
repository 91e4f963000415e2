#pragma once

namespace velmora {

// The whole program: start-up, the message loop and shut-down, in their order. Returns the exit code.
int runVelmora(int argc, char** argv);

} // namespace velmora
