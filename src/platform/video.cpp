#include "platform/video.h"

#include <SDL.h>

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
#include "platform/system.h"

namespace {

// Size of the frame-rate overlay in window pixels.
constexpr int32_t k_overlay_w = 128;
constexpr int32_t k_overlay_h = 8;

struct video_state {
  vell_bitmap *back_page = nullptr;   // the engine back page
  vell_bitmap *page32 = nullptr;      // 32-bit copy of an 8-bit page, made on presenting
  vell_bitmap *overlay = nullptr;     // 128x8 32-bit frame-rate overlay
  vell_bitmap *icon = nullptr;        // copy of the window icon (32-bit), or null
  char title[256] = "";               // window title
  int screen_mode = 1;                // 0 windowed, 1 full screen
  int app_chose_size = 0;             // vell_set_window_size was called
  int video_up = 0;                   // SDL's video subsystem is initialised
  SDL_Window *window = nullptr;       // the window, or null (headless, before set-up)
  SDL_Renderer *renderer = nullptr;   // null on the software path
  SDL_Texture *texture = nullptr;     // streaming ARGB texture of the page's size
  int32_t texture_w = 0;              // size the texture was made for
  int32_t texture_h = 0;
  SDL_Texture *overlay_texture = nullptr;  // 128x8 streaming texture of the overlay
  int32_t desktop_w = 0;              // desktop size of the window's display
  int32_t desktop_h = 0;
  int32_t screen_w = 0;               // size and depth given to vell_set_screen
  int32_t screen_h = 0;
  int32_t screen_depth = 8;
  vell_rect dest = {0, 0, 0, 0};      // where the page is drawn, in drawable pixels
  int32_t page_w = 0;                 // page size the layout was made for
  int32_t page_h = 0;
  int32_t fps = 60 << 16;             // smoothed frame rate, 16.16
  uint32_t last_present = 0;          // time of the previous present, ms
  int presented = 0;                  // 1 once a page was presented
};

video_state g_video;

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
  if (g_video.video_up) return;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) no_display("the video driver could not be started");
  const char *driver = SDL_GetCurrentVideoDriver();
  const char *asked = getenv("SDL_VIDEODRIVER");
  if (invisible_driver(driver) && !(asked && strcasecmp(asked, driver) == 0)) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_ClearError();  // what is left there is about the fallback, not the display
    no_display("no video device could be opened");
  }
  g_video.video_up = 1;
  vell_debugf("video driver: %s\n", driver ? driver : "(none)");
}

// Reads the desktop size of the display the window is on (or the first).
void read_desktop_size(int display) {
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(display, &mode) == 0) {
    g_video.desktop_w = mode.w;
    g_video.desktop_h = mode.h;
  } else if (display != 0 && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    g_video.desktop_w = mode.w;
    g_video.desktop_h = mode.h;
  }
}

// Shrinks a window size to the part of the display that windows may use
// (the whole desktop when that is not known): a larger window cannot be
// made, and would stop the console at every start.
void fit_to_display(int display, int *w, int *h) {
  SDL_Rect bounds;
  if (SDL_GetDisplayUsableBounds(display, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) {
    read_desktop_size(display);
    bounds.w = g_video.desktop_w;
    bounds.h = g_video.desktop_h;
  }
  if (bounds.w > 0 && *w > bounds.w) *w = bounds.w;
  if (bounds.h > 0 && *h > bounds.h) *h = bounds.h;
}

void destroy_textures() {
  if (g_video.texture) SDL_DestroyTexture(g_video.texture);
  if (g_video.overlay_texture) SDL_DestroyTexture(g_video.overlay_texture);
  g_video.texture = nullptr;
  g_video.overlay_texture = nullptr;
  g_video.texture_w = g_video.texture_h = 0;
}

void destroy_window() {
  destroy_textures();
  if (g_video.renderer) SDL_DestroyRenderer(g_video.renderer);
  if (g_video.window) SDL_DestroyWindow(g_video.window);
  g_video.renderer = nullptr;
  g_video.window = nullptr;
}

void apply_icon() {
  if (!g_video.window || !g_video.icon) return;
  vell_bitmap *b = g_video.icon;
  SDL_Surface *s = SDL_CreateRGBSurfaceWithFormatFrom(b->data, b->w, b->h, 32, b->w * 4, SDL_PIXELFORMAT_ARGB8888);
  if (!s) return;
  SDL_SetWindowIcon(g_video.window, s);
  SDL_FreeSurface(s);
}

// Makes the streaming texture match the page size.
bool ensure_texture(int32_t w, int32_t h) {
  if (g_video.texture && g_video.texture_w == w && g_video.texture_h == h) return true;
  if (g_video.texture) SDL_DestroyTexture(g_video.texture);
  g_video.texture = SDL_CreateTexture(g_video.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
  g_video.texture_w = g_video.texture ? w : 0;
  g_video.texture_h = g_video.texture ? h : 0;
  return g_video.texture != nullptr;
}

// Window flags and placement for the current screen mode.
SDL_Window *open_window(int display) {
  const vell_config_t &c = vell_config();
  Uint32 flags = SDL_WINDOW_ALLOW_HIGHDPI;
  int x, y, w, h;
  if (g_video.screen_mode == 1) {
    read_desktop_size(display);
    w = g_video.desktop_w > 0 ? g_video.desktop_w : 640;
    h = g_video.desktop_h > 0 ? g_video.desktop_h : 480;
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
  return SDL_CreateWindow(g_video.title, x, y, w, h, flags);
}

void create_window() {
  ensure_video();
  // Full screen goes to the display the window is on now.
  int display = g_video.window ? SDL_GetWindowDisplayIndex(g_video.window) : 0;
  if (display < 0) display = 0;
  destroy_window();

  g_video.window = open_window(display);
  if (!g_video.window) vell_fatal_error("Unable to create window");

  if (!vell_config().software_blit) {
    g_video.renderer = SDL_CreateRenderer(g_video.window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!g_video.renderer) {
      vell_debug(" could not create sdl_renderer! dropping down to software_blit\n");
      vell_config_set(&vell_config_t::software_blit, 1);
      // A window that a renderer was tried on may refuse a surface, so the
      // software path starts from a fresh window.
      SDL_DestroyWindow(g_video.window);
      g_video.window = open_window(display);
      if (!g_video.window) vell_fatal_error("Unable to create window");
    }
  }
  if (g_video.renderer) {
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, vell_config().pixel_perfect == 1 ? "nearest" : "linear");
    SDL_SetRenderDrawColor(g_video.renderer, 0, 0, 0, 255);
    SDL_RenderClear(g_video.renderer);
    SDL_RenderPresent(g_video.renderer);
    if (g_video.back_page) ensure_texture(g_video.back_page->w, g_video.back_page->h);
    g_video.overlay_texture = SDL_CreateTexture(g_video.renderer, SDL_PIXELFORMAT_ARGB8888,
                                                SDL_TEXTUREACCESS_STREAMING, k_overlay_w, k_overlay_h);
  }
  if (!g_video.overlay) g_video.overlay = vell_create_bitmap(k_overlay_w, k_overlay_h, 32);
  apply_icon();
  vell_update_layout();
}

// The fps measurement: raw rate from the time since the last present, and
// a smoothed 16.16 value that follows it.
void measure_frame_rate() {
  const uint32_t now = vell_get_time();
  if (!g_video.presented) {
    g_video.presented = 1;
    g_video.last_present = now;
    return;
  }
  uint32_t ms = now - g_video.last_present;
  g_video.last_present = now;
  if (ms < 1) ms = 1;
  if (ms > 1000) ms = 1000;
  const int64_t raw = (int64_t(1000 / ms) + 1) << 16;
  int64_t s = (15 * int64_t(g_video.fps) + raw) / 16;
  if (s < raw) s = s + 4096 > raw ? raw : s + 4096;
  else if (s > raw) s = s - 4096 < raw ? raw : s - 4096;
  g_video.fps = static_cast<int32_t>(s);
}

// The page as 32-bit pixels: 8-bit pages go through the engine palette.
const vell_bitmap *page_as_32(const vell_bitmap *page) {
  if (page->depth == 32) return page;
  if (!g_video.page32 || g_video.page32->w != page->w || g_video.page32->h != page->h) {
    vell_destroy_bitmap(g_video.page32);
    g_video.page32 = vell_create_bitmap(page->w, page->h, 32);
    if (!g_video.page32) return nullptr;
  }
  vell_blit(page, g_video.page32, 0, 0, 0, 0, page->w, page->h);
  return g_video.page32;
}

void present_with_renderer(const vell_bitmap *page) {
  SDL_Renderer *r = g_video.renderer;
  if (!ensure_texture(page->w, page->h)) return;
  SDL_UpdateTexture(g_video.texture, nullptr, page->data, page->w * 4);
  const SDL_Rect dst = {g_video.dest.x, g_video.dest.y, g_video.dest.w, g_video.dest.h};
  SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
  SDL_RenderClear(r);
  SDL_RenderCopy(r, g_video.texture, nullptr, &dst);
  if (vell_config().show_fps && g_video.dest.w >= k_overlay_w && g_video.dest.h >= k_overlay_h &&
      g_video.overlay_texture && g_video.overlay) {
    char text[32];
    snprintf(text, sizeof text, "%03d fps", vell_get_fps());
    vell_rectfill(g_video.overlay, 0, 0, k_overlay_w - 1, k_overlay_h - 1, 0xff000000u);
    vell_draw_text(g_video.overlay, text, vell_font1, 1, 1);
    SDL_UpdateTexture(g_video.overlay_texture, nullptr, g_video.overlay->data, k_overlay_w * 4);
    const SDL_Rect corner = {0, 0, k_overlay_w, k_overlay_h};
    SDL_RenderCopy(r, g_video.overlay_texture, nullptr, &corner);
  }
  SDL_RenderPresent(r);
}

void present_with_surface(vell_bitmap *page) {
  SDL_Surface *screen = SDL_GetWindowSurface(g_video.window);
  if (!screen) return;
  if (vell_config().show_fps) {
    char text[16];
    snprintf(text, sizeof text, "%03d", vell_get_fps());
    vell_draw_text_ex(page, text, vell_font1, 1, 1, k_text_colour, 0xffffffffu);
  }
  SDL_Surface *src = SDL_CreateRGBSurfaceWithFormatFrom(page->data, page->w, page->h, 32, page->w * 4,
                                                        SDL_PIXELFORMAT_ARGB8888);
  if (!src) return;
  SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 0, 0, 0));
  SDL_Rect dst = {g_video.dest.x, g_video.dest.y, g_video.dest.w, g_video.dest.h};
  // Nearest-neighbour scaling, clipped to the surface.
  SDL_BlitScaled(src, nullptr, screen, &dst);
  SDL_FreeSurface(src);
  SDL_UpdateWindowSurface(g_video.window);
}

}  // namespace

void vell_video_init() {
  uint8_t grey[768];
  for (int i = 0; i < 256; i++) grey[i * 3] = grey[i * 3 + 1] = grey[i * 3 + 2] = static_cast<uint8_t>(i);
  vell_set_engine_palette(grey);
}

void vell_video_exit() {
  destroy_window();
  vell_destroy_bitmap(g_video.back_page);
  vell_destroy_bitmap(g_video.page32);
  vell_destroy_bitmap(g_video.overlay);
  vell_destroy_bitmap(g_video.icon);
  g_video.back_page = g_video.page32 = g_video.overlay = g_video.icon = nullptr;
  if (g_video.video_up) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  g_video.video_up = 0;
  g_video.presented = 0;
  g_video.dest = {0, 0, 0, 0};
}

int vell_set_screen(int32_t width, int32_t height, int32_t depth, int32_t flags) {
  const vell_config_t &c = vell_config();
  vell_debugf("vell_set_screen %d %d %d %x\n", width, height, depth, flags);
  if (c.pixel_perfect == -1) {
    vell_config_set(&vell_config_t::pixel_perfect, height < 480 ? 1 : 0);
    vell_debugf(" set pixel_perfect %d\n", c.pixel_perfect);
  }
  if (width == 0 || height == 0) {
    if (!c.headless) {
      ensure_video();
      read_desktop_size(0);
    }
    width = g_video.desktop_w > 0 ? g_video.desktop_w : 640;
    height = g_video.desktop_h > 0 ? g_video.desktop_h : 480;
    vell_debugf("retrieving desktop resolution: %d %d\n", width, height);
  }
  if (g_video.app_chose_size) {
    if (c.window_size_w < 32 || c.window_size_h < 32) {
      vell_config_set(&vell_config_t::window_size_w, 640);
      vell_config_set(&vell_config_t::window_size_h, 480);
    }
    vell_debugf(" window size: %d %d\n", c.window_size_w, c.window_size_h);
  } else {
    vell_config_set(&vell_config_t::window_size_w, width);
    vell_config_set(&vell_config_t::window_size_h, height);
  }
  if ((flags & 0x100) && c.windowed == 1) g_video.screen_mode = 0;
  if (flags & 4) g_video.screen_mode = 0;
  if (flags & 8) g_video.screen_mode = 1;

  g_video.screen_w = width;
  g_video.screen_h = height;
  g_video.screen_depth = depth;
  if (!g_video.back_page || g_video.back_page->w != width || g_video.back_page->h != height ||
      g_video.back_page->depth != depth) {
    vell_destroy_bitmap(g_video.back_page);
    g_video.back_page = vell_create_bitmap(width, height, depth == 32 ? 32 : 8);
  }
  if (!c.headless) create_window();
  return 0;
}

vell_bitmap *vell_back_page() { return g_video.back_page; }

void vell_resize_back_page(int32_t w, int32_t h) {
  vell_bitmap *b = g_video.back_page;
  if (b && b->w == w && b->h == h && b->depth == 8) return;
  vell_destroy_bitmap(b);
  g_video.back_page = vell_create_bitmap(w, h, 8);
  vell_update_layout();
}

void vell_fit_window_size(int32_t *w, int32_t *h) {
  if (vell_config().headless || *w < 32 || *h < 32) return;
  ensure_video();
  int fw = *w, fh = *h;
  fit_to_display(0, &fw, &fh);
  *w = fw;
  *h = fh;
}

void vell_set_window_size(int32_t w, int32_t h) {
  vell_config_set(&vell_config_t::window_size_w, w);
  vell_config_set(&vell_config_t::window_size_h, h);
  g_video.app_chose_size = 1;
}

void vell_set_windowed(int on) {
  const int mode = on ? 0 : 1;
  if (mode == g_video.screen_mode) return;
  g_video.screen_mode = mode;
  if (g_video.window && !vell_config().headless) create_window();
}

void vell_toggle_fullscreen() { vell_set_windowed(g_video.screen_mode == 1); }

int vell_get_windowed() { return g_video.screen_mode == 0 ? 1 : 0; }

void vell_set_palette(const uint8_t rgb[768]) { vell_set_engine_palette(rgb); }

void vell_set_window_title(const char *title) {
  snprintf(g_video.title, sizeof g_video.title, "%s", title ? title : "");
  if (g_video.window) SDL_SetWindowTitle(g_video.window, g_video.title);
}

void vell_set_window_icon(const vell_bitmap *icon) {
  vell_destroy_bitmap(g_video.icon);
  g_video.icon = nullptr;
  if (!icon || icon->depth != 32) return;
  g_video.icon = vell_create_bitmap(icon->w, icon->h, 32);
  if (g_video.icon) memcpy(g_video.icon->data, icon->data, static_cast<size_t>(icon->w) * icon->h * 4);
  apply_icon();
}

void vell_blit_to_video_plat(const vell_bitmap *page) {
  measure_frame_rate();
  if (!page || !g_video.window) return;
  const vell_bitmap *p32 = page_as_32(page);
  if (!p32) return;
  if (page->w != g_video.page_w || page->h != g_video.page_h) vell_update_layout();
  if (g_video.renderer) {
    present_with_renderer(p32);
    return;
  }
  // The software path draws the frame-rate figures into the page itself, so
  // it works on a copy when the page is the caller's own 32-bit bitmap.
  if (p32 == page) {
    if (!g_video.page32 || g_video.page32->w != page->w || g_video.page32->h != page->h) {
      vell_destroy_bitmap(g_video.page32);
      g_video.page32 = vell_create_bitmap(page->w, page->h, 32);
      if (!g_video.page32) return;
    }
    vell_blit(page, g_video.page32, 0, 0, 0, 0, page->w, page->h);
  }
  present_with_surface(g_video.page32);
}

int32_t vell_get_fps() { return g_video.fps >> 16; }

int vell_has_window() { return g_video.window ? 1 : 0; }

void vell_get_drawable_size(int32_t *w, int32_t *h) {
  int dw = 0, dh = 0;
  if (g_video.renderer) {
    SDL_GetRendererOutputSize(g_video.renderer, &dw, &dh);
  } else if (g_video.window) {
    // The software path draws into the window surface, whose size is the
    // window's size in pixels.
    SDL_GetWindowSizeInPixels(g_video.window, &dw, &dh);
  }
  *w = dw;
  *h = dh;
}

vell_rect vell_get_dest_rect() { return g_video.dest; }

void vell_update_layout() {
  const vell_bitmap *page = g_video.back_page;
  g_video.page_w = page ? page->w : 0;
  g_video.page_h = page ? page->h : 0;
  if (!g_video.window || !page) {
    g_video.dest = {0, 0, 0, 0};
    return;
  }
  int32_t w, h;
  vell_get_drawable_size(&w, &h);
  g_video.dest = vell_compute_dest_rect(w, h, page->w, page->h, vell_config());
}

void vell_window_point_to_page(int32_t wx, int32_t wy, int32_t *px, int32_t *py) {
  int32_t dw = 0, dh = 0;
  int ww = 0, wh = 0;
  if (g_video.window) {
    vell_get_drawable_size(&dw, &dh);
    SDL_GetWindowSize(g_video.window, &ww, &wh);
  }
  // On high-DPI displays window coordinates are points, not pixels.
  if (ww > 0 && wh > 0 && (dw != ww || dh != wh)) {
    wx = static_cast<int32_t>(int64_t(wx) * dw / ww);
    wy = static_cast<int32_t>(int64_t(wy) * dh / wh);
  }
  vell_window_to_page(g_video.dest, g_video.page_w, g_video.page_h, wx, wy, px, py);
}

void *vell_platform_window() { return g_video.window; }
