// A panel of options as the tool's, a control per row of the library's option registry (the
// catalog's rtp rows: the pcap's RTP options; its line rows: a receiver test's impairments and
// mix), at the tool's default (empty, unticked, the first word) until changed; the usual ones
// first, the rest under "More". options() gives those changed, as renderWav and renderPcap take
// them, and the panel shows a status: what the pcap holds, or the library's refusal of it.
import { field } from './settings.js';

function control(option) {
  if (option.value === '') return Object.assign(document.createElement('input'), { type: 'checkbox' });
  if (option.words.length > 0) {
    const select = document.createElement('select');
    for (const word of option.words) select.add(new Option(word, word));
    return select;
  }
  return Object.assign(document.createElement('input'), { type: 'text', placeholder: option.value, size: 8 });
}

const valueOf = (input) => (input.type === 'checkbox' ? input.checked : input.value.trim());

export class OptionPanel {
  constructor(form, status, rows, { usual, more: moreTitle }) {
    this.form = form;
    this.status = status;
    this.defaults = new Map();
    const main = Object.assign(document.createElement('div'), { className: 'fields' });
    const more = document.createElement('details');
    const rest = Object.assign(document.createElement('div'), { className: 'fields' });
    more.append(Object.assign(document.createElement('summary'), { textContent: moreTitle }), rest);
    for (const option of rows) {
      const input = control(option);
      input.name = option.option;
      this.defaults.set(option.option, valueOf(input));
      (usual.includes(option.option) ? main : rest).append(field(option.option, option.help, input));
    }
    const reset = Object.assign(document.createElement('button'), { type: 'reset', textContent: "The tool's defaults" });
    form.append(main, more, reset);
    form.addEventListener('submit', (event) => event.preventDefault());
  }

  options() {
    const options = {};
    for (const [name, fallback] of this.defaults) {
      const value = valueOf(this.form.elements[name]);
      if (value !== fallback) options[name] = value;
    }
    return options;
  }

  // Back to the defaults, then the values given (as options() gives them) set.
  apply(values) {
    this.form.reset();
    for (const [name, value] of Object.entries(values)) {
      const input = this.form.elements[name];
      if (!input) continue;
      if (input.type === 'checkbox') input.checked = value === true;
      else input.value = value;
    }
  }

  // Whether the panel has a control for the option.
  has(name) {
    return this.defaults.has(name);
  }

  show(text, state) {
    this.status.textContent = text;
    this.status.className = state === 'refused' ? 'note error refused' : `note ${state}`;
  }
}
