#include "shell/console_font.h"

#include "gfx/engine_font.h"
#include "gfx/font.h"
#include "machine/pstate.h"
#include "platform/log.h"
#include "shell/resources.h"

namespace {

vell_font *g_console_font = nullptr;

}  // namespace

void orrery_console_font_init() {
  orrery_console_font_exit();
  const std::vector<vell_bitmap *> &glyphs = orrery_resource_font_glyphs();
  bool any = false;
  for (vell_bitmap *g : glyphs) any = any || g != nullptr;
  if (!any) {
    vell_debug("console font missing: using the engine font\n");
    pstate.font = vell_font1();
    return;
  }
  g_console_font = new vell_font;
  g_console_font->glyph = glyphs;
  g_console_font->owns_glyphs = 0;
  pstate.font = g_console_font;
}

void orrery_console_font_exit() {
  if (pstate.font == g_console_font) pstate.font = nullptr;
  vell_destroy_font(g_console_font);
  g_console_font = nullptr;
}
