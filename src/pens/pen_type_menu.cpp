#include "pen_type_menu.h"
