#include "vqdummyclientapplicationbase.h"

VqDummyClientApplicationBase::VqDummyClientApplicationBase(int& argc, char** argv)
    : VqClientCoreApplicationBase(argc, argv)
{
}

VqDummyClientApplicationBase::~VqDummyClientApplicationBase() = default;

void VqDummyClientApplicationBase::initialise()
{
    VqClientCoreApplicationBase::initialise();
}
