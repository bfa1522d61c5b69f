#include "virtualbox_session.h"

void VirtualBoxSession()
{
}
