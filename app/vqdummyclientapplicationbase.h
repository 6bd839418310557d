#pragma once

#include "vqclientcoreapplicationbase.h"

// The application of the dummy client: the core application plus the objects
// that make up this client's own behaviour.
class VqDummyClientApplicationBase : public VqClientCoreApplicationBase
{
    Q_OBJECT

public:
    VqDummyClientApplicationBase(int& argc, char** argv);
    ~VqDummyClientApplicationBase() override;

    Q_INVOKABLE void initialise() override;
};
