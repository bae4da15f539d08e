// The settings of a rendering, as the tool's options: a control per setting of the library's
// catalog, named by its option, starting at the tool's defaults; the usual ones first, the rest
// under "More". options() gives those that differ from the defaults, plus dbm0 when a level is
// given, as renderWav takes them.

const usual = ['rate', 'bits', 'encoding', 'cid-standard', 'cid-alert', 'tty-rate'];
const rates = ['8000', '11025', '16000', '22050', '44100', '48000'];

function control(setting) {
  if (setting.kind === 'flag') {
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.checked = box.defaultChecked = setting.default === '1';
    return box;
  }
  if (setting.words.length > 0 && setting.kind !== 'integer') {
    const select = document.createElement('select');
    for (const word of setting.words) select.add(new Option(word, word, word === setting.default, word === setting.default));
    // A default the words do not name (the engine's number) is shown as it is.
    if (!setting.words.includes(setting.default)) select.add(new Option(setting.default, setting.default, true, true));
    return select;
  }
  const input = document.createElement('input');
  input.type = 'text';
  input.inputMode = 'decimal';
  input.value = input.defaultValue = setting.default;
  input.size = 8;
  return input;
}

// A control with its name above it, described in its title.
export function field(name, description, input) {
  const label = document.createElement('label');
  label.title = description;
  label.append(Object.assign(document.createElement('span'), { textContent: name }), input);
  return label;
}

function valueOf(input) {
  return input.type === 'checkbox' ? (input.checked ? '1' : '0') : input.value.trim();
}

export class Settings {
  constructor(form, catalog) {
    this.form = form;
    this.defaults = new Map();
    this.message = document.createElement('output');
    this.message.className = 'note error';
    this.message.hidden = true;
    const more = document.createElement('details');
    more.append(Object.assign(document.createElement('summary'), { textContent: 'More settings' }));
    const main = document.createElement('div');
    main.className = 'fields';
    const rest = document.createElement('div');
    rest.className = 'fields';
    more.append(rest);
    for (const setting of catalog.settings) {
      const input = control(setting);
      input.name = setting.option;
      this.defaults.set(setting.option, valueOf(input));
      if (setting.option === 'rate') {
        input.setAttribute('list', 'rates');
        const list = Object.assign(document.createElement('datalist'), { id: 'rates' });
        list.append(...rates.map((rate) => new Option(rate)));
        form.append(list);
      }
      (usual.includes(setting.option) ? main : rest).append(field(setting.option, setting.description, input));
    }
    const level = Object.assign(document.createElement('input'), { type: 'text', name: 'dbm0', size: 8, inputMode: 'decimal' });
    level.placeholder = 'amplitude';
    main.insertBefore(field('dbm0', 'Level of every tone in dBm0 (empty: the amplitude setting)', level), main.children[3]);
    const reset = Object.assign(document.createElement('button'), { type: 'reset', textContent: "The tool's defaults" });
    form.append(this.message, main, more, reset);
    form.addEventListener('submit', (event) => event.preventDefault());
    form.addEventListener('reset', () => this.clearError());
    form.addEventListener('input', () => this.clearError());
  }

  options() {
    const options = {};
    for (const [name, fallback] of this.defaults) {
      const value = valueOf(this.form.elements[name]);
      if (value !== fallback) options[name] = value;
    }
    const level = this.form.elements.dbm0.value.trim();
    if (level !== '') options.dbm0 = level;
    return options;
  }

  // Back to the defaults, then the values given (as options() gives them) set.
  apply(values) {
    this.form.reset();
    for (const [name, value] of Object.entries(values)) {
      const input = this.form.elements[name];
      if (!input) continue;
      if (input.type === 'checkbox') input.checked = value === '1';
      else input.value = value;
    }
  }

  // The library's refusal of a setting, beside the settings.
  showError(error) {
    this.message.textContent = error.message;
    this.message.hidden = false;
  }

  clearError() {
    this.message.hidden = true;
  }
}
