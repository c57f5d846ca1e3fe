#include "core/random.h"

namespace sw {

RandomGenerator& Generator() {
    static RandomGenerator generator;
    return generator;
}

}  // namespace sw
