#pragma once
// Resources are addressed by numeric id, as the program's windows name them.

#include <QString>

// ":/bitmaps/<id>.png"
QString BitmapPath(int id);
// ":/dialogs/<id>.json"
QString DialogTemplatePath(int id);
// String table entry, "" when there is none.
QString LoadResourceString(int id);
