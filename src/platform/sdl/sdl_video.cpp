// The SDL backend's window and presentation.
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gfx/bitmap.h"
#include "gfx/font.h"
#include "gfx/text.h"
#include "platform/config.h"
#include "platform/engine_state.h"
#include "platform/log.h"
#include "platform/sdl/sdl_api.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/video.h"

namespace {

// Size of the frame-rate overlay in window pixels.
constexpr int32_t k_overlay_w = 128;
constexpr int32_t k_overlay_h = 8;

struct sdl_video_state {
  vell_bitmap *page32 = nullptr;      // 32-bit copy of an 8-bit page, made on presenting
  vell_bitmap *overlay = nullptr;     // 128x8 32-bit frame-rate overlay
  vell_bitmap *icon = nullptr;        // copy of the window icon (32-bit), or null
  char title[256] = "";               // window title
  int video_up = 0;                   // SDL's video subsystem is initialised
  SDL_Window *window = nullptr;       // the window, or null (before set-up)
  SDL_Renderer *renderer = nullptr;   // null on the software path
  SDL_Texture *texture = nullptr;     // streaming ARGB texture of the page's size
  int32_t texture_w = 0;              // size the texture was made for
  int32_t texture_h = 0;
  SDL_Texture *overlay_texture = nullptr;  // 128x8 streaming texture of the overlay
  int32_t desktop_w = 0;              // desktop size of the window's display
  int32_t desktop_h = 0;
};

sdl_video_state g_sv;

const vell_sdl_api &sdl = vell_sdl();

// Video drivers that show nothing on any screen; SDL falls back to them
// when no display can be reached.
bool invisible_driver(const char *name) {
  return name && (strcmp(name, "offscreen") == 0 || strcmp(name, "dummy") == 0);
}

// Ends the console when no window can be shown: a window run that went on
// invisibly would look like a hang. Only a driver asked for by name in
// SDL_VIDEODRIVER (as tests do) may be one that shows nothing.
[[noreturn]] void no_display(const char *why) {
  const char *display = getenv("DISPLAY");
  const char *wayland = getenv("WAYLAND_DISPLAY");
  char text[512];
  snprintf(text, sizeof text,
           "no display: %s (DISPLAY=%s, WAYLAND_DISPLAY=%s, SDL_VIDEODRIVER=%s); "
           "use -headless or -x to run without a window",
           why, display ? display : "(unset)", wayland ? wayland : "(unset)",
           getenv("SDL_VIDEODRIVER") ? getenv("SDL_VIDEODRIVER") : "(unset)");
  vell_fatal_error(text);
}

// Brings up SDL's video subsystem on first use.
void ensure_video() {
  if (g_sv.video_up) return;
  if (vell_sdl_load() != 0) no_display("the SDL library could not be loaded");
  if (sdl.SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) no_display("the video driver could not be started");
  const char *driver = sdl.SDL_GetCurrentVideoDriver();
  const char *asked = getenv("SDL_VIDEODRIVER");
  if (invisible_driver(driver) && !(asked && strcasecmp(asked, driver) == 0)) {
    sdl.SDL_QuitSubSystem(SDL_INIT_VIDEO);
    sdl.SDL_ClearError();  // what is left there is about the fallback, not the display
    no_display("no video device could be opened");
  }
  g_sv.video_up = 1;
  vell_debugf("video driver: %s\n", driver ? driver : "(none)");
}

// Reads the desktop size of the display the window is on (or the first).
void read_desktop_size(int display) {
  SDL_DisplayMode mode;
  if (sdl.SDL_GetDesktopDisplayMode(display, &mode) == 0) {
    g_sv.desktop_w = mode.w;
    g_sv.desktop_h = mode.h;
  } else if (display != 0 && sdl.SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    g_sv.desktop_w = mode.w;
    g_sv.desktop_h = mode.h;
  }
}

// Shrinks a window size to the part of the display that windows may use
// (the whole desktop when that is not known): a larger window cannot be
// made, and would stop the console at every start.
void fit_to_display(int display, int *w, int *h) {
  SDL_Rect bounds;
  if (sdl.SDL_GetDisplayUsableBounds(display, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) {
    read_desktop_size(display);
    bounds.w = g_sv.desktop_w;
    bounds.h = g_sv.desktop_h;
  }
  if (bounds.w > 0 && *w > bounds.w) *w = bounds.w;
  if (bounds.h > 0 && *h > bounds.h) *h = bounds.h;
}

void destroy_textures() {
  if (g_sv.texture) sdl.SDL_DestroyTexture(g_sv.texture);
  if (g_sv.overlay_texture) sdl.SDL_DestroyTexture(g_sv.overlay_texture);
  g_sv.texture = nullptr;
  g_sv.overlay_texture = nullptr;
  g_sv.texture_w = g_sv.texture_h = 0;
}

void destroy_window() {
  destroy_textures();
  if (g_sv.renderer) sdl.SDL_DestroyRenderer(g_sv.renderer);
  if (g_sv.window) sdl.SDL_DestroyWindow(g_sv.window);
  g_sv.renderer = nullptr;
  g_sv.window = nullptr;
}

void apply_icon() {
  if (!g_sv.window || !g_sv.icon) return;
  vell_bitmap *b = g_sv.icon;
  SDL_Surface *s = sdl.SDL_CreateRGBSurfaceWithFormatFrom(b->data, b->w, b->h, 32, b->w * 4, SDL_PIXELFORMAT_ARGB8888);
  if (!s) return;
  sdl.SDL_SetWindowIcon(g_sv.window, s);
  sdl.SDL_FreeSurface(s);
}

// Makes the streaming texture match the page size.
bool ensure_texture(int32_t w, int32_t h) {
  if (g_sv.texture && g_sv.texture_w == w && g_sv.texture_h == h) return true;
  if (g_sv.texture) sdl.SDL_DestroyTexture(g_sv.texture);
  g_sv.texture = sdl.SDL_CreateTexture(g_sv.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
  g_sv.texture_w = g_sv.texture ? w : 0;
  g_sv.texture_h = g_sv.texture ? h : 0;
  return g_sv.texture != nullptr;
}

// Window flags and placement for the screen mode.
SDL_Window *open_window(int display, int windowed) {
  const vell_config_t &c = vell_config();
  Uint32 flags = SDL_WINDOW_ALLOW_HIGHDPI;
  int x, y, w, h;
  if (!windowed) {
    read_desktop_size(display);
    w = g_sv.desktop_w > 0 ? g_sv.desktop_w : 640;
    h = g_sv.desktop_h > 0 ? g_sv.desktop_h : 480;
    if (c.fullscreen_method == 2) flags |= SDL_WINDOW_FULLSCREEN;
    else if (c.fullscreen_method == 0) flags |= SDL_WINDOW_RESIZABLE | SDL_WINDOW_MAXIMIZED | SDL_WINDOW_SHOWN;
    else flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    x = y = static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(display));
  } else {
    w = c.window_size_w;
    h = c.window_size_h;
    if (w < 32 || h < 32) {
      w = 640;
      h = 480;
    }
    fit_to_display(display, &w, &h);
    x = c.window_position_x == -1 ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : c.window_position_x;
    y = c.window_position_y == -1 ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : c.window_position_y;
    flags |= SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN;
    if (c.frameless == 1) flags |= SDL_WINDOW_BORDERLESS;
  }
  return sdl.SDL_CreateWindow(g_sv.title, x, y, w, h, flags);
}

void create_window(int windowed) {
  ensure_video();
  // Full screen goes to the display the window is on now.
  int display = g_sv.window ? sdl.SDL_GetWindowDisplayIndex(g_sv.window) : 0;
  if (display < 0) display = 0;
  destroy_window();

  g_sv.window = open_window(display, windowed);
  if (!g_sv.window) vell_fatal_error("Unable to create window");

  if (!vell_config().software_blit) {
    g_sv.renderer = sdl.SDL_CreateRenderer(g_sv.window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!g_sv.renderer) {
      vell_debug(" could not create sdl_renderer! dropping down to software_blit\n");
      vell_config_set(&vell_config_t::software_blit, 1);
      // A window that a renderer was tried on may refuse a surface, so the
      // software path starts from a fresh window.
      sdl.SDL_DestroyWindow(g_sv.window);
      g_sv.window = open_window(display, windowed);
      if (!g_sv.window) vell_fatal_error("Unable to create window");
    }
  }
  if (g_sv.renderer) {
    sdl.SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, vell_config().pixel_perfect == 1 ? "nearest" : "linear");
    sdl.SDL_SetRenderDrawColor(g_sv.renderer, 0, 0, 0, 255);
    sdl.SDL_RenderClear(g_sv.renderer);
    sdl.SDL_RenderPresent(g_sv.renderer);
    if (const vell_bitmap *page = vell_back_page()) ensure_texture(page->w, page->h);
    g_sv.overlay_texture = sdl.SDL_CreateTexture(g_sv.renderer, SDL_PIXELFORMAT_ARGB8888,
                                                 SDL_TEXTUREACCESS_STREAMING, k_overlay_w, k_overlay_h);
  }
  if (!g_sv.overlay) g_sv.overlay = vell_create_bitmap(k_overlay_w, k_overlay_h, 32);
  apply_icon();
  vell_update_layout();
}

// The page as 32-bit pixels: 8-bit pages go through the engine palette.
const vell_bitmap *page_as_32(const vell_bitmap *page) {
  if (page->depth == 32) return page;
  if (!g_sv.page32 || g_sv.page32->w != page->w || g_sv.page32->h != page->h) {
    vell_destroy_bitmap(g_sv.page32);
    g_sv.page32 = vell_create_bitmap(page->w, page->h, 32);
    if (!g_sv.page32) return nullptr;
  }
  vell_blit(page, g_sv.page32, 0, 0, 0, 0, page->w, page->h);
  return g_sv.page32;
}

void present_with_renderer(const vell_bitmap *page) {
  SDL_Renderer *r = g_sv.renderer;
  if (!ensure_texture(page->w, page->h)) return;
  sdl.SDL_UpdateTexture(g_sv.texture, nullptr, page->data, page->w * 4);
  const vell_rect dest = vell_get_dest_rect();
  const SDL_Rect dst = {dest.x, dest.y, dest.w, dest.h};
  sdl.SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
  sdl.SDL_RenderClear(r);
  sdl.SDL_RenderCopy(r, g_sv.texture, nullptr, &dst);
  if (vell_config().show_fps && dest.w >= k_overlay_w && dest.h >= k_overlay_h && g_sv.overlay_texture &&
      g_sv.overlay) {
    char text[32];
    snprintf(text, sizeof text, "%03d fps", vell_get_fps());
    vell_rectfill(g_sv.overlay, 0, 0, k_overlay_w - 1, k_overlay_h - 1, 0xff000000u);
    vell_draw_text(g_sv.overlay, text, vell_font1(), 1, 1);
    sdl.SDL_UpdateTexture(g_sv.overlay_texture, nullptr, g_sv.overlay->data, k_overlay_w * 4);
    const SDL_Rect corner = {0, 0, k_overlay_w, k_overlay_h};
    sdl.SDL_RenderCopy(r, g_sv.overlay_texture, nullptr, &corner);
  }
  sdl.SDL_RenderPresent(r);
}

void present_with_surface(vell_bitmap *page) {
  SDL_Surface *screen = sdl.SDL_GetWindowSurface(g_sv.window);
  if (!screen) return;
  if (vell_config().show_fps) {
    char text[16];
    snprintf(text, sizeof text, "%03d", vell_get_fps());
    vell_draw_text_ex(page, text, vell_font1(), 1, 1, k_text_colour, 0xffffffffu);
  }
  SDL_Surface *src = sdl.SDL_CreateRGBSurfaceWithFormatFrom(page->data, page->w, page->h, 32, page->w * 4,
                                                            SDL_PIXELFORMAT_ARGB8888);
  if (!src) return;
  sdl.SDL_FillRect(screen, nullptr, sdl.SDL_MapRGB(screen->format, 0, 0, 0));
  const vell_rect dest = vell_get_dest_rect();
  SDL_Rect dst = {dest.x, dest.y, dest.w, dest.h};
  // Nearest-neighbour scaling, clipped to the surface.
  sdl.SDL_UpperBlitScaled(src, nullptr, screen, &dst);
  sdl.SDL_FreeSurface(src);
  sdl.SDL_UpdateWindowSurface(g_sv.window);
}

void desktop_size(int32_t *w, int32_t *h) {
  ensure_video();
  read_desktop_size(0);
  *w = g_sv.desktop_w;
  *h = g_sv.desktop_h;
}

void fit_window(int32_t *w, int32_t *h) {
  ensure_video();
  int fw = *w, fh = *h;
  fit_to_display(0, &fw, &fh);
  *w = fw;
  *h = fh;
}

int has_window() { return g_sv.window ? 1 : 0; }

void present(const vell_bitmap *page) {
  if (!g_sv.window) return;
  const vell_bitmap *p32 = page_as_32(page);
  if (!p32) return;
  if (g_sv.renderer) {
    present_with_renderer(p32);
    return;
  }
  // The software path draws the frame-rate figures into the page itself, so
  // it works on a copy when the page is the caller's own 32-bit bitmap.
  if (p32 == page) {
    if (!g_sv.page32 || g_sv.page32->w != page->w || g_sv.page32->h != page->h) {
      vell_destroy_bitmap(g_sv.page32);
      g_sv.page32 = vell_create_bitmap(page->w, page->h, 32);
      if (!g_sv.page32) return;
    }
    vell_blit(page, g_sv.page32, 0, 0, 0, 0, page->w, page->h);
  }
  present_with_surface(g_sv.page32);
}

void drawable_size(int32_t *w, int32_t *h) {
  int dw = 0, dh = 0;
  if (g_sv.renderer) {
    sdl.SDL_GetRendererOutputSize(g_sv.renderer, &dw, &dh);
  } else if (g_sv.window) {
    // The software path draws into the window surface, whose size is the
    // window's size in pixels.
    sdl.SDL_GetWindowSizeInPixels(g_sv.window, &dw, &dh);
  }
  *w = dw;
  *h = dh;
}

void window_size(int32_t *w, int32_t *h) {
  int ww = 0, wh = 0;
  if (g_sv.window) sdl.SDL_GetWindowSize(g_sv.window, &ww, &wh);
  *w = ww;
  *h = wh;
}

void set_title(const char *title) {
  snprintf(g_sv.title, sizeof g_sv.title, "%s", title ? title : "");
  if (g_sv.window) sdl.SDL_SetWindowTitle(g_sv.window, g_sv.title);
}

void set_icon(const vell_bitmap *icon) {
  vell_destroy_bitmap(g_sv.icon);
  g_sv.icon = nullptr;
  if (!icon || icon->depth != 32) return;
  g_sv.icon = vell_create_bitmap(icon->w, icon->h, 32);
  if (g_sv.icon) memcpy(g_sv.icon->data, icon->data, static_cast<size_t>(icon->w) * icon->h * 4);
  apply_icon();
}

void close_video() {
  destroy_window();
  vell_destroy_bitmap(g_sv.page32);
  vell_destroy_bitmap(g_sv.overlay);
  vell_destroy_bitmap(g_sv.icon);
  g_sv.page32 = g_sv.overlay = g_sv.icon = nullptr;
  if (g_sv.video_up) sdl.SDL_QuitSubSystem(SDL_INIT_VIDEO);
  g_sv.video_up = 0;
}

const char *last_error() { return vell_sdl_load() == 0 ? sdl.SDL_GetError() : ""; }

constexpr vell_video_out k_sdl_video = {
    desktop_size, fit_window, create_window, has_window, present, drawable_size,
    window_size,  set_title,  set_icon,      close_video, last_error,
};

}  // namespace

const vell_video_out *vell_sdl_video() { return &k_sdl_video; }

SDL_Window *vell_sdl_window() { return g_sv.window; }
