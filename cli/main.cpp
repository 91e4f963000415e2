#include "CliApp.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return velmora::cli::runCli(QCoreApplication::arguments().mid(1), out, err, isatty(STDERR_FILENO) != 0);
}
