// The string table.
#include "res/Resources.h"

namespace norvane {

std::string_view FindResourceString(int nId) {
    switch (nId) {
        case IDS_ABOUTBOX: return "Norvane のﾊﾞｰｼﾞｮﾝ情報(&A)...";
        default: return {};
    }
}

}  // namespace norvane
