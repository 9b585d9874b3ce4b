#include "event_script.h"
