#include "bridged_interface_correction.h"
