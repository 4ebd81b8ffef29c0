// The machine state record pstate: memory regions, registers and draw state,
// live cartridge, screen bitmap, console font and the machine's mode fields.
#pragma once

#include <atomic>
#include <cstdint>

struct vell_bitmap;
struct vell_font;
struct orrery_cart;

// Machine modes.
enum orrery_mode : int32_t {
  MODE_CONSOLE = 0,
  MODE_RUNNING = 1,
  MODE_BOOT = 2,
  MODE_SPLASH = 3,
};

// One-shot requests carried out at the start of the next update.
enum orrery_request : int32_t {
  REQ_NONE = 0,
  REQ_RUN = 1,                // run the working cartridge
  REQ_SUSPEND = 2,            // suspend the program
  REQ_REBOOT = 3,             // reboot the machine
  REQ_SUSPEND_ERROR = 4,      // suspend and show the error text
  REQ_RESET_INTERPRETER = 6,  // reset the interpreter
};

// Screens shown in console mode instead of the command line.
enum orrery_sub_screen : int32_t {
  SUB_NONE = 0,
  SUB_KEYCONFIG = 1,
  SUB_BROWSER = 2,
};

constexpr int32_t k_mem_size = 0x8000;   // the flat address space, bytes
constexpr int32_t k_gpio_size = 128;     // GPIO bytes at 0x5f80
constexpr int32_t k_cdata_values = 64;   // persistent values at 0x5e00
constexpr int32_t k_screen_size = 128;   // screen width and height in pixels

// A 32-bit word that another thread reads without a lock: atomic, and
// copied by value, so that a record holding it can be reset by assigning a
// fresh one.
struct atomic_word : std::atomic<int32_t> {
  using std::atomic<int32_t>::operator=;
  atomic_word(int32_t v = 0) : std::atomic<int32_t>(v) {}
  atomic_word(const atomic_word &other) : std::atomic<int32_t>(other.load()) {}
  atomic_word &operator=(const atomic_word &other) {
    store(other.load());
    return *this;
  }
};

struct pstate_t {
  // Memory regions.
  uint8_t ram[k_mem_size] = {};        // RAM mirror: every byte written through the memory operations
  uint8_t gpio[k_gpio_size] = {};      // general purpose I/O bytes (0x5f80-0x5fff)
  int32_t cdata[k_cdata_values] = {};  // persistent values, 16.16 (0x5e00-0x5eff)
  int32_t cdata_changed = 0;           // 1 when a persistent value changed since the data file was written
  orrery_cart *cart = nullptr;         // live cartridge (0x0000-0x42ff); null until boot creates it
  vell_bitmap *screen = nullptr;       // 128x128 8-bit screen, one colour 0-15 per pixel (0x6000-0x7fff)
  vell_font *font = nullptr;           // console font, loaded from the resource file; not owned

  // Draw state and hardware registers (0x5f00-0x5f7f). Registers without a
  // field here live only in the RAM mirror.
  int32_t draw_pal[16] = {};           // colour c is drawn as bits 0-3; bit 4 makes c transparent
  int32_t screen_pal[16] = {};         // screen colour c is shown as this entry (bit 7 with the extended palette)
  int32_t clip_x0 = 0, clip_y0 = 0;    // clip rectangle, inclusive corner as written (0x5f20, 0x5f21)
  int32_t clip_x1 = 0, clip_y1 = 0;    // exclusive corner as written (0x5f22, 0x5f23)
  int32_t pen = 0;                     // current colour: bits 0-3 primary, 4-7 secondary
  int32_t cursor_x = 0, cursor_y = 0;  // print cursor in screen pixels
  int32_t camera_x = 0, camera_y = 0;  // camera offset, signed 16-bit
  int32_t draw_mode = 0;               // screen mode applied at presentation (0x5f2c)
  int32_t fill_pattern = 0;            // bits 0-15 pattern, bit 16 transparency, bits 17-23 as written to 0x5f33
  int32_t text_wrap = 0;               // 1 while the console is stopped by stop: print wraps at the clip's right edge
  // Audio effect masks (0x5f40-0x5f43, low 4 bits, bit c = channel c):
  // half rate, echo, bit reduction, low-pass. The mixer reads them on the
  // audio thread without the audio lock, so each is one atomic word.
  atomic_word audio_mask[4];

  // Machine mode and frame bookkeeping.
  int32_t mode = MODE_CONSOLE;         // orrery_mode
  int32_t pending_request = REQ_NONE;  // orrery_request, carried out at the next update
  int32_t sub_screen = SUB_NONE;       // orrery_sub_screen
  int32_t frame_counter = 0;           // +1 per logical frame; -15 at boot start
  int32_t spinner_counter = 0;         // +1 per logical frame while busy or downloading
  int32_t busy_countdown = 0;          // frames the program stays frozen behind the spinner
  int32_t program_started = 0;         // 1 once a cartridge program was compiled; cleared by reboot
  int32_t mainloop_kind = 0;           // 0 none, 1 the cartridge's own, 2 generated (samples buttons itself)
  int32_t target_fps = 0;              // 30 or 60 once the machine is created
  int32_t reset_glitch = 0;            // 0 idle, 1-4 while the reset glitch runs
  int32_t buttons_read = 0;            // 1 once btn or btnp was called since the program was compiled
  int32_t wheel_x = 0, wheel_y = 0;    // mouse wheel movement taken at the last button read
};

extern pstate_t pstate;

// Resets the machine to a fresh record, releasing its screen bitmap and
// live cartridge.
void orrery_clear_machine();
// Clears the machine, then creates its 128x128 screen bitmap and an empty
// live cartridge and sets the register defaults. Returns 0, or 1 when
// memory for them could not be had.
int orrery_create_machine();
// Replaces the live cartridge by a new empty one (boot and reboot).
// Returns 0, or 1 when it could not be created.
int orrery_new_live_cart();

// Register defaults, set whenever a program starts: draw palette identity
// with colour 0 transparent, screen palette identity, clip 0,0-128,128 (also
// on the screen bitmap), pen 6, cursor x 0 (y kept), camera 0,0, draw mode
// 0, fill pattern 0, audio masks 0.
void orrery_reset_registers(pstate_t *m);

// The GPIO bytes are plain memory: nothing to open or close, and a run
// does not clear them. Index 0-127; other indexes read 0 and write nothing.
int32_t gpio_read(int32_t index);
void gpio_write(int32_t index, int32_t value);
