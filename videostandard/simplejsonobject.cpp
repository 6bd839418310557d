#include "simplejsonobject.h"

SimpleJsonObject::~SimpleJsonObject() = default;
