#pragma once
// The list of the window's actions (core/commands.h) in Qt's terms: a
// menu text and a key sequence of each.

#include <QKeySequence>
#include <QString>

#include "core/commands.h"

namespace sizewalk {

QString ActionText(const CommandInfo& info);
// Empty for none.
QKeySequence KeySequenceOf(const KeyChord& key);

}  // namespace sizewalk
