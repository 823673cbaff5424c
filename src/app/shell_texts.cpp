#include "app/shell_texts.h"

namespace velmora {

std::u16string trayTipText() {
    std::u16string tip(kProductName);
    tip += u"\n";
    tip += kVersionText;
    tip += u"\n";
    tip += kDateText;
    tip += u"\n\nL-CLICK: Pause\nR-CLICK: Menu\n\n";
    tip += kTipClosingLine;
    return tip;
}

}  // namespace velmora
