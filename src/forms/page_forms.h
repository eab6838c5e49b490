// The forms of every page and dialog of the main window, owned by the session, which fills and
// stores them under the model mutex; a window shows them and reads its controls into them.
#pragma once

#include "forms/gear_form.h"
#include "forms/net_param_form.h"
#include "forms/rs485_form.h"

namespace quillon {

struct PageForms {
  NetParamForm net;
  Rs485Form rs485;
  GearForm gear;
};

}  // namespace quillon
