#include "vbox_binding.h"
