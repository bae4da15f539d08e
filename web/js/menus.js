// Menus that write requests: a keypad that sounds, keys, a country's tones, Caller-ID, TTY text,
// a SIT, a modem tone, and presets (a country's tones, a Caller-ID, a fax call). Each builds the
// requests as the tool writes them and has the library print them (canonical, quoted for a
// script) and check them with the settings before they go into the request box; requests the
// library refuses are not written, and its message is shown beside the menu. The tabs follow
// the WAI-ARIA tab pattern: arrow keys, Home and End move between them.
import { keypad } from './keypad.js';

function element(tag, properties = {}, children = []) {
  const node = Object.assign(document.createElement(tag), properties);
  node.append(...children);
  return node;
}

function field(label, input) {
  return element('label', {}, [element('span', { textContent: label }), input]);
}

function select(name, options) {
  return element('select', { name }, options.map(([value, text]) => new Option(text, value)));
}

function input(name, value = '', placeholder = '') {
  return element('input', { name, value, placeholder, type: 'text', autocomplete: 'off', spellcheck: false });
}

// A choice of the countries, by name.
function countries(plans) {
  const country = select('country', plans.map((p) => [p.country, `${p.name} (${p.country})`]));
  country.value = plans.some((p) => p.country === 'uk') ? 'uk' : plans[0].country;
  return country;
}

// Each menu: its title, its fields, and the request texts its values make (written on one line,
// or one a line with lines). A menu with no requests writes through its own fields (the keypad).
function menus(catalog, appendKey) {
  const setting = (option) => catalog.settings.find((s) => s.option === option);
  // The settings' value unless one is chosen: the menu then writes no set: request.
  const orSettings = (name, option) => select(name, [['', 'as in the settings'], ...setting(option).words.map((w) => [w, w])]);
  const plans = [...catalog.plans].sort((a, b) => a.name.localeCompare(b.name, 'en'));
  return [
    {
      id: 'keypad', title: 'Keypad',
      fields: () => [keypad(appendKey), element('p', { className: 'hint', textContent: 'A key sounds while held; let go, it is added to the last dtmf: request.' })],
    },
    {
      id: 'keys', title: 'Keys',
      fields: (form) => [field('signalling', select('kind', [['dtmf', 'DTMF'], ['mf', 'MF R1'], ['r2f', 'R2 forward'], ['r2b', 'R2 backward']])),
        field('keys', input('keys', '5550123', 'keys')),
        element('button', { type: 'button', textContent: 'Clear', onclick: () => { form.elements.keys.value = ''; } })],
      requests: (v) => [`${v.kind}:${v.keys}`],
    },
    {
      id: 'tones', title: 'Country tones',
      fields: () => {
        const country = countries(plans);
        const tone = select('tone', []);
        const fill = () => {
          const plan = plans.find((p) => p.country === country.value);
          tone.replaceChildren(...plan.tones.map((t) => new Option(`${t.tone}: ${t.pattern}`, t.tone)));
        };
        country.addEventListener('change', fill);
        fill();
        return [field('country', country), field('tone', tone), field('ms', input('ms', '4000'))];
      },
      requests: (v) => [`plan:${v.country}:${v.tone}:${v.ms}`],
    },
    {
      id: 'cid', title: 'Caller-ID',
      fields: () => [
        field('standard', orSettings('standard', 'cid-standard')),
        field('alert', orSettings('alert', 'cid-alert')),
        field('number', input('number', '5551234')),
        field('name', input('name', 'JOHN DOE')),
        field('date', input('date', '12/25 10:30', 'MM/DD HH:MM (empty: now)'))],
      requests: (v) => {
        const parts = [v.number];
        if (v.name !== '' || v.date !== '') parts.push(v.name);
        if (v.date !== '') parts.push(v.date);
        const sets = [['standard', 'cid-standard'], ['alert', 'cid-alert']].filter(([name]) => v[name] !== '')
          .map(([name, option]) => `set:${option}=${v[name]}`);
        return [...sets, `cid:${parts.join('|')}`];
      },
    },
    {
      id: 'tty', title: 'TTY',
      fields: () => [field('text', input('text', 'HELLO GA'))],
      requests: (v) => [`tty:${v.text}`],
    },
    {
      id: 'sit', title: 'SIT',
      fields: () => [field('code', select('code', catalog.sits.map((s) => [s.code, `${s.code}: ${s.meaning}`])))],
      requests: (v) => [`sit:${v.code}`],
    },
    {
      id: 'modem', title: 'Modem tone',
      fields: (form) => {
        const kind = select('kind', catalog.modems.map((m) => [m.word, `${m.name} (${m.word})`]));
        const ms = input('ms', String(catalog.modems[0].ms));
        kind.addEventListener('change', () => { ms.value = String(catalog.modems.find((m) => m.word === kind.value).ms); });
        return [field('tone', kind), field('ms', ms)];
      },
      requests: (v) => [`modem:${v.kind}:${v.ms}`],
    },
    {
      id: 'presets', title: 'Presets', lines: true, buttons: true,
      // Each preset is a button of its own, the one pressed named in the values.
      fields: () => [field('country', countries(plans)),
        ...[['tones', "This country's tones"], ['cid', 'A Caller-ID'], ['fax', 'A fax call']].map(([value, textContent]) =>
          element('button', { type: 'submit', name: 'preset', value, textContent, className: 'add' }))],
      requests: (v) => {
        if (v.preset === 'cid') return ['silence:500', 'cid:5551234|JOHN DOE|12/25 10:30', 'silence:500'];
        if (v.preset === 'fax') return ['plan:us:dial:1000', 'dtmf:5550123', 'plan:us:ringback:6000', 'modem:cng:3500', 'modem:ans:3300'];
        return plans.find((p) => p.country === v.country).tones.map((t) => `plan:${v.country}:${t.tone}:3000`);
      },
    },
  ];
}

// The Add button, or none where the menu's fields are its buttons.
function adder(menu) {
  return menu.buttons || !menu.requests ? [] : [element('button', { type: 'submit', textContent: 'Add', className: 'add' })];
}

// The tabs and their panels. printRequest(text) and check(line) are the library's (promises
// rejecting with its refusal); write(line) puts a line into the request box, appendKey(key)
// adds a key to its last dtmf: request.
export function buildMenus({ tabs, panels, catalog, printRequest, check, write, appendKey }) {
  const all = menus(catalog, appendKey).map((menu) => {
    const tab = element('button', { type: 'button', textContent: menu.title, id: `tab-${menu.id}` });
    const form = element('form', { className: 'menu', id: `menu-${menu.id}` });
    tab.setAttribute('role', 'tab');
    tab.setAttribute('aria-controls', form.id);
    form.setAttribute('role', 'tabpanel');
    form.setAttribute('aria-labelledby', tab.id);
    const message = element('output', { className: 'note error', hidden: true });
    form.append(...menu.fields(form), ...adder(menu), message);
    form.addEventListener('submit', async (event) => {
      event.preventDefault();
      const values = Object.fromEntries(new FormData(form, event.submitter));
      try {
        const texts = await Promise.all(menu.requests(values).map(printRequest));
        const line = texts.join(menu.lines ? '\n' : ' ');
        await check(line);
        message.hidden = true;
        write(line);
      } catch (error) {
        message.textContent = error.message;
        message.hidden = false;
      }
    });
    tabs.append(tab);
    panels.append(form);
    return { tab, form };
  });
  function show(index, focus = false) {
    all.forEach(({ tab, form }, i) => {
      tab.setAttribute('aria-selected', String(i === index));
      tab.tabIndex = i === index ? 0 : -1;
      form.hidden = i !== index;
    });
    if (focus) all[index].tab.focus();
  }
  tabs.addEventListener('click', (event) => {
    const at = all.findIndex(({ tab }) => tab === event.target.closest('[role=tab]'));
    if (at >= 0) show(at);
  });
  tabs.addEventListener('keydown', (event) => {
    const at = all.findIndex(({ tab }) => tab === document.activeElement);
    const to = { ArrowRight: at + 1, ArrowLeft: at - 1 + all.length, Home: 0, End: all.length - 1 }[event.key];
    if (at < 0 || to === undefined) return;
    event.preventDefault();
    show(to % all.length, true);
  });
  show(0);
}
