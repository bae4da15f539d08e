// The list of what sounds when: one entry per span of the audio, in order, the one playing
// marked as it plays; a click plays from its start.

function seconds(value) {
  return `${value.toFixed(3)} s`;
}

export class LabelList {
  constructor(list, onChoose) {
    this.list = list;
    this.onChoose = onChoose;
    this.labels = [];
    this.items = [];
    this.current = -1;
  }

  // labels: [{start, end (seconds), kind, text, detail}] in order of their start.
  show(labels) {
    this.labels = labels;
    this.current = -1;
    this.items = labels.map((label) => {
      const item = document.createElement('li');
      const button = document.createElement('button');
      button.type = 'button';
      button.dataset.start = String(label.start);
      const time = document.createElement('span');
      time.className = 'span-time';
      time.textContent = `${seconds(label.start)} – ${seconds(label.end)}`;
      const kind = document.createElement('span');
      kind.className = 'span-kind';
      kind.textContent = label.kind;
      const text = document.createElement('span');
      text.className = 'span-text';
      text.textContent = label.text;
      const detail = document.createElement('span');
      detail.className = 'span-detail';
      detail.textContent = label.detail;
      button.append(time, kind, text, detail);
      button.addEventListener('click', () => this.onChoose(label.start));
      item.append(button);
      return item;
    });
    this.list.replaceChildren(...this.items);
  }

  // Marks the last label that starts at or before the position.
  follow(position) {
    let low = 0;
    let high = this.labels.length - 1;
    let found = -1;
    while (low <= high) {
      const middle = (low + high) >> 1;
      if (this.labels[middle].start <= position) {
        found = middle;
        low = middle + 1;
      } else {
        high = middle - 1;
      }
    }
    if (found >= 0 && position >= this.labels[found].end) found = -1;
    if (found === this.current) return;
    this.items[this.current]?.classList.remove('current');
    this.current = found;
    const item = this.items[found];
    if (item) {
      item.classList.add('current');
      // Scrolls the list alone, never the page.
      const list = this.list;
      if (item.offsetTop < list.scrollTop || item.offsetTop + item.offsetHeight > list.scrollTop + list.clientHeight) {
        list.scrollTop = item.offsetTop - list.clientHeight / 3;
      }
    }
  }
}
