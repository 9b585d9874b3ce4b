#pragma once

// The transfer modes as the panels list them: a word in the person's language for each
// mode number. Files, scripts and settings keep the modes' own names.

#include <QString>

QString transfer_mode_title(int mode);
