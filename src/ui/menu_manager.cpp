#include "menu_manager.h"
