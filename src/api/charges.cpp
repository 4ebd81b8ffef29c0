#include "api/api.h"
#include "script/cpu.h"

namespace {

api_charge_func g_observer = nullptr;  // test hook watching every charge

}  // namespace

void api_spend(int32_t cycles) {
  if (g_observer) g_observer(cycles, 0);
  spend_cpu(cycles);
}

void api_refund(int32_t cycles) {
  if (g_observer) g_observer(cycles, 1);
  refund_cpu(cycles);
}

void api_set_charge_observer(api_charge_func f) { g_observer = f; }
