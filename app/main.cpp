#include "dummyclientmain.h"

int main(int argc, char** argv)
{
    return runDummyClient(argc, argv);
}
