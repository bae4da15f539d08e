// The list of what sounds when: one row per span of the audio, in order, the one playing marked
// as it plays; a click plays from its start. A render can have tens of thousands of spans, so
// the list holds the rows in view only (rows of one height, --label-row in the style sheet),
// over a spacer as tall as all of them: showing and scrolling cost the same for any length.

const overscan = 8;  // rows kept beyond each edge of the view

function seconds(value) {
  return `${value.toFixed(3)} s`;
}

function span(className) {
  return Object.assign(document.createElement('span'), { className });
}

export class LabelList {
  constructor(list, onChoose) {
    this.list = list;
    this.labels = [];
    this.current = -1;
    this.rowHeight = 0;
    this.first = 0;
    this.count = 0;
    this.spacer = Object.assign(document.createElement('li'), { className: 'spacer' });
    this.spacer.setAttribute('aria-hidden', 'true');
    this.rows = [];  // the rendered rows, rows[i] showing label first + i
    list.addEventListener('scroll', () => this.paint());
    list.addEventListener('click', (event) => {
      const button = event.target.closest('button');
      if (button) onChoose(Number(button.dataset.start));
    });
    list.replaceChildren(this.spacer);
    new ResizeObserver(() => this.layOut()).observe(list);
  }

  // labels: [{start, end (seconds), kind, text, detail}] in order of their start.
  show(labels) {
    this.labels = labels;
    this.current = -1;
    this.list.scrollTop = 0;
    this.layOut();
  }

  // The rows at the style's height (a narrow page has taller rows), every one repainted.
  layOut() {
    this.rowHeight = parseFloat(getComputedStyle(this.list).getPropertyValue('--label-row')) || 24;
    this.spacer.style.height = `${this.labels.length * this.rowHeight}px`;
    this.count = -1;
    this.paint();
  }

  clear() {
    this.show([]);
  }

  // Fills the rows in view (and a few beyond) from the labels.
  paint() {
    const height = this.list.clientHeight || 10 * this.rowHeight;
    const first = Math.max(0, Math.floor(this.list.scrollTop / this.rowHeight) - overscan);
    const count = Math.max(0, Math.min(this.labels.length - first, Math.ceil(height / this.rowHeight) + 2 * overscan));
    if (first === this.first && count === this.count) return;
    while (this.rows.length < count) this.rows.push(this.row());
    for (let i = 0; i < this.rows.length; i++) {
      const row = this.rows[i];
      if (i >= count) {
        row.remove();
        continue;
      }
      this.fill(row, first + i);
      if (!row.isConnected) this.list.append(row);
    }
    this.first = first;
    this.count = count;
  }

  row() {
    const item = document.createElement('li');
    const button = Object.assign(document.createElement('button'), { type: 'button' });
    button.append(span('span-time'), span('span-kind'), span('span-text'), span('span-detail'));
    item.append(button);
    return item;
  }

  fill(item, index) {
    const label = this.labels[index];
    const [time, kind, text, detail] = item.firstChild.children;
    item.style.top = `${index * this.rowHeight}px`;
    item.classList.toggle('current', index === this.current);
    item.setAttribute('aria-posinset', String(index + 1));
    item.setAttribute('aria-setsize', String(this.labels.length));
    item.firstChild.dataset.start = String(label.start);
    time.textContent = `${seconds(label.start)} – ${seconds(label.end)}`;
    kind.textContent = label.kind;
    text.textContent = label.text;
    detail.textContent = label.detail;
  }

  // Marks the last label that starts at or before the position, scrolling the list (never the
  // page) to keep it in view.
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
    this.current = found;
    if (found >= 0) {
      const top = found * this.rowHeight;
      const list = this.list;
      if (top < list.scrollTop || top + this.rowHeight > list.scrollTop + list.clientHeight) {
        list.scrollTop = top - list.clientHeight / 3;
      }
    }
    this.count = -1;
    this.paint();
  }
}
