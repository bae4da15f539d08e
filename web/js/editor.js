// The request box: a text area with line numbers, and notes placed beside the line of the
// request they are about (the library's refusal in red, its warnings in amber).

export class Editor {
  constructor({ textarea, gutter, marks, notes }) {
    this.textarea = textarea;
    this.gutter = gutter;
    this.marks = marks;
    this.notes = notes;
    this.placed = [];  // {line, note, mark}
    textarea.addEventListener('input', () => this.numberLines());
    textarea.addEventListener('scroll', () => this.place());
    this.numberLines();
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
    this.place();
  }

  numberLines() {
    const count = this.textarea.value.split('\n').length;
    this.gutter.textContent = Array.from({ length: count }, (_, i) => i + 1).join('\n');
    this.place();
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
    const lineHeight = parseFloat(getComputedStyle(this.textarea).lineHeight);
    const top = Math.max(0, line - 1) * lineHeight;
    if (top < this.textarea.scrollTop || top + lineHeight > this.textarea.scrollTop + this.textarea.clientHeight) {
      this.textarea.scrollTop = Math.max(0, top - this.textarea.clientHeight / 3);
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
    const style = getComputedStyle(this.textarea);
    const lineHeight = parseFloat(style.lineHeight);
    const top = parseFloat(style.paddingTop) - this.textarea.scrollTop;
    const gutter = this.gutter;
    gutter.scrollTop = this.textarea.scrollTop;
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
