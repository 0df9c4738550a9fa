#pragma once
// Values the host hands over in OLE variants, read without trusting what they point
// at: a reference to nothing, a chain of references, an array whose header disagrees
// with the variant's type. Every reader of a host's variant takes it through here
// before OLE automation sees it, because OLE follows such pointers without a check.
#include <oaidl.h>

#include "values/win/OleVariant.h"

namespace tervex {

// The variant a value stands for: a variant that refers to another (VT_BYREF |
// VT_VARIANT) stands for the one it refers to. Null when a reference leads to nothing
// or the chain runs on past any sensible depth.
const VARIANT* ReferredVariant(const VARIANT& value);

// The value with every reference followed, as an owned copy that OLE automation can
// convert safely. False, with copy left Empty, when the value cannot be read: a
// reference to nothing, a type that no variant carries (records included), or an
// array whose element size or own type disagrees with the variant's type.
bool CopyHostValue(const VARIANT& value, OleVariant& copy);

}  // namespace tervex
