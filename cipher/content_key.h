#pragma once
// The key the content file is enciphered and deciphered with.

#include "cipher/des_cipher.h"

namespace tavlin {

// The eight decimal digits of the viewer's two key numbers: "47110815".
DesKey contentKey();

}  // namespace tavlin
