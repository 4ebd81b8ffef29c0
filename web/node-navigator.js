// node before version 21 has no navigator, which SDL's gamepad code asks for
// the connected gamepads: under node there are none.
if (typeof navigator === 'undefined') globalThis.navigator = {};
