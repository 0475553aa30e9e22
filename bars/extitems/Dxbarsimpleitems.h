// The simple extended items: static, progress, large button, spin edit and
// control container.
#pragma once

#include "bars/extitems/Dxbarstatic.h"
#include "bars/extitems/Dxbarprogress.h"
#include "bars/extitems/Dxbarlargebutton.h"
#include "bars/extitems/Dxbarspinedit.h"
#include "bars/extitems/Dxbarcontainer.h"
