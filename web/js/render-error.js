// A refusal of the library's, as the page and the npm package report it: the library's message
// and, where a request is to blame, its text, position and line; where a setting is, its name;
// where the library refused an option, the option and the values it would take instead.

export class RenderError extends Error {
  constructor({ message, reason = message, request = '', index = 0, line = 0, setting = '', option = '', remedies = [] }) {
    super(message);
    this.name = 'RenderError';
    this.reason = reason;
    this.request = request;
    this.index = index;
    this.line = line;
    this.setting = setting;  // the option refused, when a setting is to blame
    this.option = option;  // the option the library's refusal names ('rate', 'ptime'), or ''
    this.remedies = remedies;  // its values that would be taken, when the options led to the refusal
  }
}
