/** The tool's options by name ('rate', 'encoding', 'cid-standard', 'seed', 'pcap-start', ...). */
export type Options = Record<string, string | number | boolean | null | undefined>;

export interface Limits {
  /** A rendering larger than this is refused before anything is rendered (default 1 GiB). */
  maxBytes?: number;
}

/** A refusal of the library's: its message and what is to blame. */
export class RenderError extends Error {
  readonly reason: string;
  /** The request to blame, its position in the script and its line, where a request is. */
  readonly request: string;
  readonly index: number;
  readonly line: number;
  /** The option given that was refused, when a setting is to blame. */
  readonly setting: string;
  /** The option the library's refusal names, or ''. */
  readonly option: string;
  /** The refused option's values that would be taken. */
  readonly remedies: string[];
}

/** The WAV file `varnel -o FILE` writes for the script (the tool's requests) and options. */
export function renderWav(script: string, options?: Options, limits?: Limits): Promise<Uint8Array>;

/** The pcap file `varnel --pcap FILE` writes: options take the tool's RTP options too. */
export function renderPcap(script: string, options?: Options, limits?: Limits): Promise<Uint8Array>;
