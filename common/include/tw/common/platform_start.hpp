#pragma once
// What a program does before it creates its QApplication, on every platform.

namespace tw {

// Under Wine, Qt's Windows font engines (GDI, DirectWrite) leave the text of line edits
// undrawn; Qt's own FreeType engine draws everything. So, unless QT_QPA_PLATFORM already says
// otherwise, a program running under Wine asks for it. Real Windows is left as it is.
void PreparePlatform();

}  // namespace tw
