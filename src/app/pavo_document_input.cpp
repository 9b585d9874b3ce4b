// Keys by the names event scripts give them, the same from the view widget and a replay.

#include "pavo_document.h"

#include "size_steps.h"

bool PavoDocument::keyPressed(const QString& name, unsigned modifiers)
{
    if (modifiers & kCommandKey) return false;
    if (name == u"delete") return keyDown(QStringLiteral("\x7f"));
    if (name == u"backspace") return keyDown(QStringLiteral("\b"));
    if (name == u"bracketleft" || name == u"bracketright") {
        stepSize(name == u"bracketright" ? 1 : -1);
        return true;
    }
    const int dx = name == u"left" ? -1 : name == u"right" ? 1 : 0;
    const int dy = name == u"up" ? -1 : name == u"down" ? 1 : 0;
    if (dx == 0 && dy == 0) return false;
    _view->scrollByTenth(dx, dy);
    return true;
}

bool PavoDocument::keyHeld(const QString& name, bool down)
{
    if (name != u"space") return false;
    _view->holdHand(down);
    return true;
}

void PavoDocument::stepSize(int direction)
{
    // A fill may have no expand at all; a pen needs some size.
    if (_tool == _fill.get())
        setFillExpand(int(stepped_size(float(_fill->expand()), direction, 0)));
    else
        setPenSize(stepped_size(_pen->radius(), direction, size_menu_values().front()));
}
