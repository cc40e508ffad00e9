// InstanceInfo: what the format binding's factory hands to a plug-in's
// constructor about the instance being created. The VST 3 binding has nothing
// to pass (the module handle is a module-wide value), so the record is empty;
// it exists so that every effect constructor has the same shape.
#pragma once

namespace iplug {

struct InstanceInfo
{
};

} // namespace iplug
