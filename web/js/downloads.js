// Links that download what the page made, each holding one object URL at a time.

// bytes: an ArrayBuffer, a typed array, a string or a Blob.
export function offer(link, bytes, type, name) {
  if (link.href.startsWith('blob:')) URL.revokeObjectURL(link.href);
  link.href = URL.createObjectURL(new Blob([bytes], { type }));
  link.download = name;
  link.hidden = false;
}

// Hides the link and lets its object go.
export function withdraw(link) {
  if (link.href.startsWith('blob:')) URL.revokeObjectURL(link.href);
  link.removeAttribute('href');
  link.hidden = true;
}
