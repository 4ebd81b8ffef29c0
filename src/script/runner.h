// The program runner: starting, resuming and stopping cartridge programs,
// and the chain of cartridges that loaded one another.
#pragma once

// Starts the working cartridge's program.
void run_cart();
// Resumes the running program for one frame's worth of execution.
void run_slice();
// Stops the running program and returns to the console, unless a reset
// glitch is in progress.
void suspend_program();
// Closes the interpreter state and creates a fresh one.
void reset_interpreter();
// Resets the runtime part of the machine (draw state, GPIO, frame
// bookkeeping) after boot and after each cartridge load.
void reset_runtime_state();
// Makes the parameter string of the last run the one given to the next run
// (a reset restarts the cartridge with the parameters it had).
void restore_param_string();

// The run chain's top item: dropped when it is still pending, or confirmed.
void run_chain_cancel_pending();
void run_chain_confirm_pending();
