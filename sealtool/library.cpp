#include "library.h"

namespace sealtool {

Library& lib()
{
    static Library table;
    return table;
}

}  // namespace sealtool
