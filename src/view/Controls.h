// The keys and the mouse of the view. One table holds every key with when it applies, what
// it does and the handler that does it: the handlers dispatch through it and Help > Keys
// lists it, so the two cannot drift apart. The handlers change document fields and ask for
// a redraw; keys that do not apply do nothing and show nothing.
#pragma once

#include <string>
#include <vector>

#include "base/Matrix.h"

namespace zelk {

class CZELKDoc;

// The keys that arrive as key-down events (the rest arrive as characters).
enum class VirtualKey { Escape, Up, Down, Left, Right, PageUp, PageDown, Insert, Delete, Home, Space };

struct ControlEntry {
    enum class Kind { KeyDown, Char, Mouse };
    Kind kind = Kind::KeyDown;
    std::vector<int> codes;  // VirtualKey values, or the characters (lower case) of the key
    const char* keys = "";    // as the help shows them
    const char* when = "";    // when the key applies
    const char* effect = "";  // what it does
    void (*act)(CZELKDoc& doc, bool ctrl) = nullptr;  // null for the mouse rows
    bool passOn = false;  // the character also goes to the framework's default handling
};

// Every key and mouse action, in the order of the help.
const std::vector<ControlEntry>& ControlTable();

// Key-down: true when the key is one of the table's (handled whether or not it applied).
// Ignored unless the main window is in front.
bool OnKeyDown(CZELKDoc& doc, VirtualKey key, bool ctrl);
// Character (either case): true when the framework should not handle it further.
bool OnChar(CZELKDoc& doc, int code);

// The mouse, in the view's client coordinates (three- and four-variable maps only, and
// never during a surface scan).
void OnRightButtonDown(CZELKDoc& doc, int x, int y);
void OnRightButtonUp(CZELKDoc& doc);
void OnLeftButtonDown(CZELKDoc& doc, int x, int y);
void OnMouseMove(CZELKDoc& doc, int x, int y);

// The weights under (x, y): on the triangle, the point of the map within the bounds; on
// the cloud, the nearest shown surface point within 25 pixels. False when nothing is there.
bool PickWeights(const CZELKDoc& doc, int x, int y, Matrix& w);
// Z: places the map so that the loaded surface's weight range fills it (three variables)
// or comes back into view with the angles and the scale unchanged (four).
void FitMap(CZELKDoc& doc);

}  // namespace zelk
