// The SDL library, loaded when an SDL backend is first used: its functions
// as a table of pointers, filled from the library at run time.
#pragma once

#include <SDL.h>

// Every SDL function the SDL backend calls.
#define VELL_SDL_FUNCTIONS(X)                                                                           \
  X(SDL_ClearError) X(SDL_CloseAudioDevice) X(SDL_CreateRGBSurfaceWithFormatFrom) X(SDL_CreateRenderer) \
  X(SDL_CreateTexture) X(SDL_CreateWindow) X(SDL_Delay) X(SDL_DestroyRenderer) X(SDL_DestroyTexture)    \
  X(SDL_DestroyWindow) X(SDL_FillRect) X(SDL_FreeSurface) X(SDL_GameControllerAddMapping)               \
  X(SDL_GameControllerClose) X(SDL_GameControllerGetAxis) X(SDL_GameControllerGetButton)                \
  X(SDL_GameControllerGetJoystick) X(SDL_GameControllerMapping) X(SDL_GameControllerName)               \
  X(SDL_GameControllerOpen) X(SDL_GetAudioDriver) X(SDL_GetClipboardText) X(SDL_GetCurrentAudioDriver)  \
  X(SDL_GetCurrentVideoDriver) X(SDL_GetDesktopDisplayMode) X(SDL_GetDisplayUsableBounds) X(SDL_GetError) \
  X(SDL_GetKeyboardState) X(SDL_GetModState) X(SDL_GetMouseState) X(SDL_GetNumAudioDrivers)             \
  X(SDL_GetNumRenderDrivers) X(SDL_GetNumVideoDrivers) X(SDL_GetRenderDriverInfo)                       \
  X(SDL_GetRendererOutputSize) X(SDL_GetScancodeName) X(SDL_GetTicks) X(SDL_GetVersion)                 \
  X(SDL_GetVideoDriver) X(SDL_GetWindowDisplayIndex) X(SDL_GetWindowSize) X(SDL_GetWindowSizeInPixels)  \
  X(SDL_GetWindowSurface) X(SDL_Init) X(SDL_InitSubSystem) X(SDL_IsGameController) X(SDL_JoystickClose) \
  X(SDL_JoystickGetAttached) X(SDL_JoystickGetAxis) X(SDL_JoystickGetButton)                            \
  X(SDL_JoystickGetDeviceInstanceID) X(SDL_JoystickInstanceID) X(SDL_JoystickName) X(SDL_JoystickNumAxes) \
  X(SDL_JoystickNumBalls) X(SDL_JoystickNumButtons) X(SDL_JoystickOpen) X(SDL_LockAudioDevice)          \
  X(SDL_MapRGB) X(SDL_NumJoysticks) X(SDL_OpenAudioDevice) X(SDL_PauseAudioDevice) X(SDL_PollEvent)     \
  X(SDL_Quit) X(SDL_QuitSubSystem) X(SDL_RenderClear) X(SDL_RenderCopy) X(SDL_RenderPresent)            \
  X(SDL_SetClipboardText) X(SDL_SetHint) X(SDL_SetRenderDrawColor) X(SDL_SetWindowIcon)                 \
  X(SDL_SetWindowTitle) X(SDL_ShowCursor) X(SDL_UnlockAudioDevice) X(SDL_UpdateTexture)                 \
  X(SDL_UpdateWindowSurface) X(SDL_UpperBlitScaled) X(SDL_WarpMouseInWindow) X(SDL_WasInit) X(SDL_free)

struct vell_sdl_api {
#define VELL_SDL_MEMBER(f) decltype(&::f) f = nullptr;
  VELL_SDL_FUNCTIONS(VELL_SDL_MEMBER)
#undef VELL_SDL_MEMBER
};

// Loads the library on the first call: 0 when every function was found
// (the table below is then complete), 1 when it is missing (logged once).
int vell_sdl_load();
// The table; filled only after vell_sdl_load returned 0.
const vell_sdl_api &vell_sdl();
// For a program with SDL linked in (the web player, whose host loads no
// libraries): takes its functions as the table, which vell_sdl_load then
// reports as loaded. Called before main (see sdl_linked.cpp).
void vell_sdl_use_linked(const vell_sdl_api &api);

// The SDL backend's window, or null.
SDL_Window *vell_sdl_window();
