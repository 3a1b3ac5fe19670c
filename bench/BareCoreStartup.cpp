// The command line's start-up comparison: the smallest program on the
// toolkit's core, which makes its application object, prints a line and ends.
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::puts("Usage: bare");
    return 0;
}
