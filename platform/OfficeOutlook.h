#pragma once

namespace velmora {

// Whether Office Outlook is installed. There is no Office Outlook on this platform, so the answer is false;
// the window takes the check as a replaceable function so that the question it guards can be tested.
bool IsOfficeOutlookInstalled();

} // namespace velmora
