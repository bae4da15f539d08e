// A DTMF keypad that sounds while a key is held (two Web Audio oscillators at the key's row and
// column frequencies) and hands the key on when it is let go. The live sound is the browser's;
// the key's request is rendered by the library like any other.

const rows = [697, 770, 852, 941];
const columns = [1209, 1336, 1477, 1633];
export const keys = '123A456B789C*0#D';

let context = null;

// Starts the key's two tones; returns a function that stops them.
function sound(key) {
  context ??= new AudioContext();
  context.resume();
  const at = keys.indexOf(key);
  const gain = context.createGain();
  gain.gain.value = 0.12;
  gain.connect(context.destination);
  const oscillators = [rows[at >> 2], columns[at & 3]].map((frequency) => {
    const oscillator = new OscillatorNode(context, { frequency });
    oscillator.connect(gain);
    oscillator.start();
    return oscillator;
  });
  return () => {
    for (const oscillator of oscillators) oscillator.stop();
    gain.disconnect();
  };
}

// The keypad's buttons; onKey(key) as each is let go, by pointer or by Space or Enter.
export function keypad(onKey) {
  const pad = document.createElement('div');
  pad.className = 'keypad';
  pad.setAttribute('role', 'group');
  pad.setAttribute('aria-label', 'DTMF keypad');
  for (const key of keys) {
    const button = Object.assign(document.createElement('button'), { type: 'button', textContent: key });
    let stop = null;
    const press = () => {
      stop ??= sound(key);
    };
    const release = (taken) => {
      if (!stop) return;
      stop();
      stop = null;
      if (taken) onKey(key);
    };
    button.addEventListener('pointerdown', (event) => {
      button.setPointerCapture(event.pointerId);
      press();
    });
    button.addEventListener('pointerup', () => release(true));
    button.addEventListener('pointercancel', () => release(false));
    button.addEventListener('keydown', (event) => {
      if (event.key !== ' ' && event.key !== 'Enter') return;
      event.preventDefault();
      if (!event.repeat) press();
    });
    button.addEventListener('keyup', (event) => {
      if (event.key === ' ' || event.key === 'Enter') release(true);
    });
    button.addEventListener('blur', () => release(false));
    pad.append(button);
  }
  return pad;
}
