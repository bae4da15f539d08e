// The request box: a text area with line numbers, and notes placed beside the line of the
// request they are about (the library's refusal in red, its warnings in amber). The gutter holds
// the numbers of the lines in view only, so that a keystroke costs the same in a box of ten
// lines or of a hundred thousand.

// The number of lines of a text: one more than its line feeds.
function lineCount(text) {
  let count = 1;
  for (let at = text.indexOf('\n'); at !== -1; at = text.indexOf('\n', at + 1)) count++;
  return count;
}

export class Editor {
  constructor({ textarea, gutter, marks, notes, onChange }) {
    this.textarea = textarea;
    this.gutter = gutter;
    this.marks = marks;
    this.notes = notes;
    this.placed = [];  // {line, note, mark}
    this.onChange = onChange;
    this.lines = 0;
    this.numbered = '';
    this.measure();
    textarea.addEventListener('input', () => this.numberLines());
    textarea.addEventListener('scroll', () => this.place());
    new ResizeObserver(() => {
      this.measure();
      this.place();
    }).observe(textarea);
    this.numberLines();
  }

  // The box's line height, padding and height, read once a resize rather than per keystroke.
  measure() {
    const style = getComputedStyle(this.textarea);
    this.lineHeight = parseFloat(style.lineHeight);
    this.paddingTop = parseFloat(style.paddingTop);
    this.height = this.textarea.clientHeight;
  }

  get text() {
    return this.textarea.value;
  }

  set text(value) {
    this.textarea.value = value;
    this.clearNotes();
    this.numberLines();
  }

  // Writes a line of requests at the end.
  append(line) {
    const text = this.textarea.value;
    this.textarea.value = text + (text === '' || text.endsWith('\n') ? '' : '\n') + line;
    this.textarea.scrollTop = this.textarea.scrollHeight;
    this.numberLines();
  }

  // Adds a key to the last line when that is a dtmf: request, else writes one.
  appendKey(key) {
    const text = this.textarea.value;
    if (/(^|\n)dtmf:[0-9A-D*#]*$/.test(text)) {
      this.textarea.value = text + key;
      this.numberLines();
    } else {
      this.append(`dtmf:${key}`);
    }
  }

  numberLines() {
    const count = lineCount(this.textarea.value);
    if (count !== this.lines) {
      this.lines = count;
      this.gutter.style.width = `${String(count).length}ch`;
    }
    this.place();
    this.onChange();
  }

  // The numbers of the lines in view, the gutter scrolled within its first line as the box is.
  numberView() {
    const scrollTop = this.textarea.scrollTop;
    const first = Math.floor(scrollTop / this.lineHeight);
    const last = Math.min(this.lines, first + Math.ceil(this.height / this.lineHeight) + 1);
    let numbers = '';
    for (let line = first + 1; line <= last; line++) numbers += line === first + 1 ? String(line) : `\n${line}`;
    if (numbers !== this.numbered) {
      this.gutter.textContent = numbers;
      this.numbered = numbers;
    }
    this.gutter.scrollTop = scrollTop - first * this.lineHeight;
  }

  clearNotes() {
    this.notes.replaceChildren();
    this.marks.replaceChildren();
    this.placed = [];
  }

  // The library's refusal: on the line of the request it names (a script of one line has
  // line 0), or above the first line when no request is to blame.
  showError(error) {
    const line = error.line || (error.index ? 1 : 0);
    const { lineHeight } = this;
    const top = Math.max(0, line - 1) * lineHeight;
    if (top < this.textarea.scrollTop || top + lineHeight > this.textarea.scrollTop + this.height) {
      this.textarea.scrollTop = Math.max(0, top - this.height / 3);
    }
    this.note(line, error.message, 'error');
  }

  // The warnings of the rendered requests, each beside its request.
  showWarnings(requests) {
    for (const request of requests) {
      for (const warning of request.warnings) this.note(request.line || 1, `request ${request.index}: ${warning}`, 'warning');
    }
  }

  note(line, text, kind) {
    const note = document.createElement('p');
    note.className = `note ${kind}`;
    note.textContent = text;
    note.dataset.line = String(line);
    this.notes.append(note);
    const mark = document.createElement('div');
    mark.className = `mark ${kind}`;
    this.marks.append(mark);
    this.placed.push({ line, note, mark });
    this.place();
  }

  // Puts each note and line mark at its line's height, below the notes of the lines above it.
  place() {
    this.numberView();
    if (this.placed.length === 0) return;
    const { lineHeight } = this;
    const top = this.paddingTop - this.textarea.scrollTop;
    let below = 0;
    for (const { line, note, mark } of [...this.placed].sort((a, b) => a.line - b.line)) {
      const y = top + Math.max(0, line - 1) * lineHeight;
      mark.hidden = line === 0;
      mark.style.top = `${y}px`;
      mark.style.height = `${lineHeight}px`;
      const noteTop = Math.max(y, below);
      note.style.top = `${noteTop}px`;
      below = noteTop + note.offsetHeight + 2;
    }
  }
}
