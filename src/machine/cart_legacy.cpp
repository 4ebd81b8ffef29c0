#include "machine/cart_legacy.h"

#include <cstring>

#include "machine/cart.h"
#include "machine/hooks.h"

const char *const k_legacy_marker_line = "print(\"archeos\",98,34,7)";

const char *const k_legacy_prelude =
    "--------------------------------\n"
    "-- legacy 0.1.1 api injected\n"
    "--------------------------------\n"
    "\tfunction _validate(c) if (c._num==nil) then local i=0 while(c[i+1]~=nil) do i=i+1 end c._num=i "
    "c._max=i \tc._min=i+1 c._num = i c._ci = i end end \tfunction foreach(c, f) if (c == nil) "
    "then return end _validate(c) if (c._max == nil) then return end for i=1,c._max do if (c[i] "
    "~= nil) then c._ci = i f(c[i]) end end end function all(c) if (c == nil) then return function() "
    "end end _validate(c) local i=0 return function() i=i+1 while (c[i]==nil and i<c._max) do i=i+1 "
    "end if (c[i] ~= nil) then c._ci=i return c[i] end end end function add(c, i) if (c == nil) "
    "then return end _validate(c) for j=c._min,c._max+1 do if (c[j] == nil) then c._max = max(c._max,j) "
    "c._min = j+1 c._num = c._num+1 c[j]=i return i end end end function count(c) if (c == nil) "
    "then return 0 end _validate(c) return c._num end function del(c,i) if (c == nil) then return "
    "end _validate(c) if (i==nil) then return end if (c._ci==i) then c[c._ci]=nil c._min=min(c._min, "
    "c._ci) c._num=c._num-1 return else for j=1,c._max do if (c[j]==i) then c[j]=nil c._min=min(c._min,j) "
    "c._num=c._num-1 return end end end while (c._max>1 and c[c._max]==nil) do c._max=c._max-1 "
    "end end  nd=0\n"
    "--------------------------------\n"
    "\n";

namespace {

bool column_on(int32_t value) { return (value & 0x40) == 0; }

bool sound_loops(const orrery_sfx &s) { return s.loop_start < s.loop_end; }

// Ticks a column's sound lasts in a pattern.
int32_t column_ticks(const orrery_cart *cart, int32_t value) {
  const int32_t speed = cart->sfx[value & 63].speed;
  return 32 * (speed > 1 ? speed : 1);
}

// A pattern lasts as long as its first on, non-looping column. Older
// consoles went by the longest column instead; putting a column of that
// length first keeps old songs in time.
void swap_pattern_columns(orrery_cart *cart) {
  for (int32_t p = 0; p < k_cart_pattern_count; p++) {
    orrery_pattern &pat = cart->music[p];
    int32_t first = -1, longest = 0;
    for (int32_t c = 0; c < 4; c++) {
      const int32_t v = pat.channel[c];
      if (!column_on(v)) continue;
      const int32_t ticks = column_ticks(cart, v);
      if (ticks > longest) longest = ticks;
      if (first < 0 && !sound_loops(cart->sfx[v & 63])) first = ticks;
    }
    if (first < 0 || first == longest) continue;
    for (int32_t c = 1; c < 4; c++) {
      const int32_t v = pat.channel[c];
      if (column_on(v) && !sound_loops(cart->sfx[v & 63]) && column_ticks(cart, v) == longest) {
        pat.channel[c] = pat.channel[0];
        pat.channel[0] = v;
        orrery_print_2("legacy: pat %d swap chan: %d %d", static_cast<int>(p), 0, static_cast<int>(c));
        break;
      }
    }
  }
}

void quieten_waveform_6(orrery_cart *cart) {
  for (orrery_sfx &s : cart->sfx)
    for (orrery_note &n : s.notes)
      if (n.waveform == 6 && (n.volume == 6 || n.volume == 7)) n.volume = 5;
}

// The prelude goes in front of the program only when both fit the code
// buffer; a program too long for it is left as it is.
void inject_prelude(orrery_cart *cart) {
  if (!strstr(cart->code, k_legacy_marker_line)) return;
  const size_t code_len = strnlen(cart->code, k_cart_code_size - 1);
  const size_t prelude_len = strlen(k_legacy_prelude);
  if (code_len + prelude_len > static_cast<size_t>(k_cart_code_max)) return;
  memmove(cart->code + prelude_len, cart->code, code_len + 1);
  memcpy(cart->code, k_legacy_prelude, prelude_len);
  orrery_print("legacy: 0.1.1 api injected");
}

bool uses_later_sound_features(const orrery_cart *cart) {
  for (const orrery_sfx &s : cart->sfx) {
    if (s.editor_mode >= 2 || s.loop_start >= 64 || s.loop_end >= 64) return true;
    for (const orrery_note &n : s.notes)
      if (n.custom) return true;
  }
  return false;
}

}  // namespace

void apply_legacy_changes(orrery_cart *cart) {
  if (!cart) return;
  if (cart->version < k_legacy_old_version) {
    swap_pattern_columns(cart);
    quieten_waveform_6(cart);
    inject_prelude(cart);
  }
  if (cart->version <= k_legacy_effect_version && !uses_later_sound_features(cart)) {
    for (orrery_sfx &s : cart->sfx)
      for (orrery_note &n : s.notes)
        if (n.effect == 1 && n.volume == 0) n.effect = 0;
  }
  cart->version = k_cart_version;
}
