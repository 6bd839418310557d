#pragma once

// How an element tells the datacore that owns it that it changed, either from
// JSON or locally (a setter or a recalculation).
class DatacoreElementPrivateInterface
{
public:
    virtual ~DatacoreElementPrivateInterface() = default;

    virtual void elementDeserialised() = 0;
    virtual void elementModified() = 0;
};
