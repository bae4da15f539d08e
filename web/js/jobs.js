// The calls of the library's C interface (web/src/PageApi.cpp) through an Emscripten module:
// the page's render worker (render-worker.js) and the npm package (npm/index.js) both make them.
//   bind(module) -> the interface's functions, wrapped (cwrap)
//   runJob(api, {script, options}, make, took) -> {reply, transfer}: a job with the options,
//     made by make(job, script...) and answered with what took(job, file, summary) takes of it,
//     or the refusal (reply.ok false, reply.error for a RenderError, render-error.js)

export function bind(module) {
  const call = (name, result, args) => module.cwrap(name, result, args);
  return {
    module,
    jobNew: call('varnel_job_new', 'number', []),
    jobDelete: call('varnel_job_delete', null, ['number']),
    jobSetting: call('varnel_job_setting', 'number', ['number', 'number', 'number', 'number', 'number']),
    jobDbm0: call('varnel_job_dbm0', 'number', ['number', 'number', 'number']),
    jobRender: call('varnel_job_render', 'number', ['number', 'number', 'number', 'number', 'number']),
    jobPcap: call('varnel_job_pcap', 'number', ['number', 'number', 'number', 'number']),
    jobText: call('varnel_job_text', 'string', ['number']),
    jobFile: call('varnel_job_file', 'number', ['number']),
    jobFileSize: call('varnel_job_file_size', 'number', ['number']),
    jobSamples: call('varnel_job_samples', 'number', ['number']),
    jobSampleCount: call('varnel_job_sample_count', 'number', ['number']),
    catalog: call('varnel_catalog', 'string', []),
    printRequest: call('varnel_print_request', 'string', ['number', 'number']),
    detect: call('varnel_detect', 'number', ['number', 'number']),
    detectText: call('varnel_detect_text', 'string', ['number']),
    detectSamples: call('varnel_detect_samples', 'number', ['number']),
    detectSampleCount: call('varnel_detect_sample_count', 'number', ['number']),
    detectDelete: call('varnel_detect_delete', null, ['number']),
    listenNew: call('varnel_listen_new', 'number', ['number']),
    listenFeed: call('varnel_listen_feed', 'number', ['number', 'number', 'number']),
    listenFinish: call('varnel_listen_finish', null, ['number']),
    listenEvents: call('varnel_listen_events', 'string', ['number']),
    listenDelete: call('varnel_listen_delete', null, ['number']),
  };
}

// Texts go through the module's heap rather than its stack, whatever their length, as UTF-8
// with their length in bytes: the action gets a pointer and a length for each.
export function withText(api, texts, action) {
  const { module } = api;
  const arguments_ = [];
  const pointers = texts.map((text) => {
    const length = module.lengthBytesUTF8(text);
    const pointer = module._malloc(length + 1);
    module.stringToUTF8(text, pointer, length + 1);
    arguments_.push(pointer, length);
    return pointer;
  });
  try {
    return action(...arguments_);
  } finally {
    pointers.forEach((pointer) => module._free(pointer));
  }
}

function settingText(value) {
  if (value === true) return '1';
  if (value === false) return '0';
  return String(value);
}

// A job with the options, made by make(job, script) (the module's render or pcap); answers with
// what took(job) takes from it, or the refusal, naming the option the library refused.
export function runJob(api, { script, options }, make, took) {
  const started = performance.now();
  const job = api.jobNew();
  try {
    const refused = (setting) => ({ reply: { ok: false, error: { ...JSON.parse(api.jobText(job)).error, setting } }, transfer: [] });
    for (const [name, value] of Object.entries(options)) {
      if (value === undefined || value === null) continue;
      const taken = name === 'dbm0'
        ? withText(api, [settingText(value)], (...text) => api.jobDbm0(job, ...text))
        : withText(api, [name, settingText(value)], (...texts) => api.jobSetting(job, ...texts));
      if (!taken) return refused(name);
    }
    if (!withText(api, [script], (...text) => make(job, ...text))) return refused('');
    const file = api.module.HEAPU8.slice(api.jobFile(job), api.jobFile(job) + api.jobFileSize(job)).buffer;
    const summary = JSON.parse(api.jobText(job));
    const { reply, transfer } = took(job, file, summary);
    return { reply: { ok: true, ...reply, summary, ms: performance.now() - started }, transfer };
  } finally {
    api.jobDelete(job);
  }
}
