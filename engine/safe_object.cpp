#include "engine/safe_object.h"

namespace kura {

TSafeObject::~TSafeObject() { FObjectMark = 0; }

}  // namespace kura
