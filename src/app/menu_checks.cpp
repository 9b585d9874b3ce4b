#include "menu_checks.h"
