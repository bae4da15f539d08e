// Menus that write requests: keys, a country's tones, Caller-ID, TTY text, a SIT, a modem tone.
// Each builds the request as the tool writes it and has the library print it (canonical, quoted
// for a script) before it goes into the request box; a request the library refuses is not
// written, and its message is shown beside the menu.

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

// Each menu: its title, its fields, and the request texts its values make.
function menus(catalog) {
  const setting = (option) => catalog.settings.find((s) => s.option === option);
  const keypad = '123A456B789C*0#D'.split('');
  const plans = catalog.plans;
  return [
    {
      id: 'keys', title: 'Keys',
      fields: (form) => {
        const keys = input('keys', '5550123', 'keys');
        const pad = element('div', { className: 'keypad' }, keypad.map((key) =>
          element('button', { type: 'button', textContent: key, onclick: () => { keys.value += key; } })));
        return [field('signalling', select('kind', [['dtmf', 'DTMF'], ['mf', 'MF R1'], ['r2f', 'R2 forward'], ['r2b', 'R2 backward']])),
          field('keys', keys), pad,
          element('button', { type: 'button', textContent: 'Clear', onclick: () => { form.elements.keys.value = ''; } })];
      },
      requests: (v) => [`${v.kind}:${v.keys}`],
    },
    {
      id: 'tones', title: 'Country tones',
      fields: (form) => {
        const country = select('country', plans.map((p) => [p.country, `${p.name} (${p.country})`]));
        const tone = select('tone', []);
        const fill = () => {
          const plan = plans.find((p) => p.country === country.value);
          tone.replaceChildren(...plan.tones.map((t) => new Option(`${t.tone}: ${t.pattern}`, t.tone)));
        };
        country.value = plans.some((p) => p.country === 'uk') ? 'uk' : plans[0].country;
        country.addEventListener('change', fill);
        fill();
        return [field('country', country), field('tone', tone), field('ms', input('ms', '4000'))];
      },
      requests: (v) => [`plan:${v.country}:${v.tone}:${v.ms}`],
    },
    {
      id: 'cid', title: 'Caller-ID',
      fields: () => [
        field('standard', select('standard', setting('cid-standard').words.map((w) => [w, w]))),
        field('alert', select('alert', setting('cid-alert').words.map((w) => [w, w]))),
        field('number', input('number', '5551234')),
        field('name', input('name', 'JOHN DOE')),
        field('date', input('date', '12/25 10:30', 'MM/DD HH:MM (empty: now)'))],
      requests: (v) => {
        const parts = [v.number];
        if (v.name !== '' || v.date !== '') parts.push(v.name);
        if (v.date !== '') parts.push(v.date);
        return [`set:cid-standard=${v.standard}`, `set:cid-alert=${v.alert}`, `cid:${parts.join('|')}`];
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
  ];
}

export function buildMenus({ tabs, panels, catalog, printRequest, write }) {
  const all = menus(catalog).map((menu, i) => {
    const tab = element('button', { type: 'button', textContent: menu.title, id: `tab-${menu.id}` });
    tab.setAttribute('role', 'tab');
    const form = element('form', { className: 'menu', id: `menu-${menu.id}` });
    form.setAttribute('role', 'tabpanel');
    const message = element('output', { className: 'note error', hidden: true });
    form.append(...menu.fields(form), element('button', { type: 'submit', textContent: 'Add', className: 'add' }), message);
    form.addEventListener('submit', async (event) => {
      event.preventDefault();
      const values = Object.fromEntries(new FormData(form));
      try {
        const texts = await Promise.all(menu.requests(values).map(printRequest));
        message.hidden = true;
        write(texts.join(' '));
      } catch (error) {
        message.textContent = error.message;
        message.hidden = false;
      }
    });
    tab.addEventListener('click', () => show(i));
    tabs.append(tab);
    panels.append(form);
    return { tab, form };
  });
  function show(index) {
    all.forEach(({ tab, form }, i) => {
      tab.setAttribute('aria-selected', String(i === index));
      form.hidden = i !== index;
    });
  }
  show(0);
}
