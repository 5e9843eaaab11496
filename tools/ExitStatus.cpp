#include "ExitStatus.h"

namespace korvale::tool {

namespace {

int Severity(int status) {
    switch (status) {
        case kOk:
            return 0;
        case kDamaged:
            return 1;
        case kFailed:
            return 2;
        default:
            return 3;
    }
}

}  // namespace

int Worse(int a, int b) {
    return Severity(a) >= Severity(b) ? a : b;
}

}  // namespace korvale::tool
