// What the page keeps of a session: the script, the settings, the receiver test's options and
// the RTP options (as options() gives them), in localStorage as they change and in a link's fragment to share:
//   index.html#script=dtmf%3A123&settings=%7B%22rate%22%3A%228000%22%7D&rtp=%7B%7D
// A fragment opens the page with what it holds; otherwise the page opens as it was left.

const key = 'varnel-playground';

// The values of an object of option values, strings and ticks only (any other is dropped).
function optionsOf(value) {
  if (!value || typeof value !== 'object' || Array.isArray(value)) return {};
  return Object.fromEntries(Object.entries(value).filter(([, v]) => typeof v === 'string' || typeof v === 'boolean'));
}

function parsed(text) {
  try {
    return JSON.parse(text);
  } catch {
    return null;
  }
}

// {script, settings, line, rtp}, each present only where the source had it.
function stateOf(source) {
  const state = {};
  if (typeof source.script === 'string') state.script = source.script;
  if (source.settings !== undefined) state.settings = optionsOf(source.settings);
  if (source.line !== undefined) state.line = optionsOf(source.line);
  if (source.rtp !== undefined) state.rtp = optionsOf(source.rtp);
  return state;
}

function fromFragment(hash) {
  const fields = new URLSearchParams(hash.replace(/^#/, ''));
  if (!fields.has('script')) return null;
  return stateOf({
    script: fields.get('script'),
    settings: fields.has('settings') ? parsed(fields.get('settings')) : undefined,
    line: fields.has('line') ? parsed(fields.get('line')) : undefined,
    rtp: fields.has('rtp') ? parsed(fields.get('rtp')) : undefined,
  });
}

function fromStorage() {
  try {
    return stateOf(parsed(localStorage.getItem(key)) ?? {});
  } catch {
    return {};  // storage the browser withholds
  }
}

// The state the page opens with: the link's, else the one left.
export function openingState(location) {
  return fromFragment(location.hash) ?? fromStorage();
}

export function keep(state) {
  try {
    localStorage.setItem(key, JSON.stringify(state));
  } catch {
    // A full or withheld storage keeps nothing: the page works on.
  }
}

export function shareLink(location, { script, settings, line, rtp }) {
  const fields = new URLSearchParams({ script, settings: JSON.stringify(settings), line: JSON.stringify(line), rtp: JSON.stringify(rtp) });
  return `${location.origin}${location.pathname}#${fields}`;
}
