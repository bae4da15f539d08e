// Links that download what the page made, each holding one object URL at a time.

export function offer(link, bytes, type, name) {
  if (link.href.startsWith('blob:')) URL.revokeObjectURL(link.href);
  link.href = URL.createObjectURL(new Blob([bytes], { type }));
  link.download = name;
  link.hidden = false;
}
