// Starts a Sagewend program the way a desktop or a person does: with the
// options, environment and current folder given, not the e2e harness's
// --no-browser and -C. Lets a test wait for what the program says on
// standard output (its URL line) or standard error, within a time limit.
import { spawn } from 'node:child_process';

const URL_LINE = /^(http:\/\/127\.0\.0\.1:\d+\/\S*)$/m;

export function launch(program, args, { cwd, env }) {
  const child = spawn(program, args, { cwd, env, stdio: ['ignore', 'pipe', 'pipe'] });
  const text = { stdout: '', stderr: '' };
  child.stdout.on('data', (chunk) => { text.stdout += chunk; });
  child.stderr.on('data', (chunk) => { text.stderr += chunk; });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));

  // Resolves with the match once the stream's text matches pattern.
  const waitFor = (name, pattern, timeoutMs) => new Promise((resolve, reject) => {
    const stream = child[name];
    const finish = (settle, value) => {
      clearTimeout(timer);
      stream.off('data', check);
      child.off('exit', ended);
      settle(value);
    };
    const check = () => {
      const match = text[name].match(pattern);
      if (match) finish(resolve, match);
    };
    const ended = () => finish(reject, new Error(`program ended before ${name} matched ${pattern}:\n${text.stderr}`));
    const timer = setTimeout(() => finish(reject,
      new Error(`${name} did not match ${pattern} within ${timeoutMs} ms:\n${text.stderr}`)), timeoutMs);
    stream.on('data', check);
    child.on('exit', ended);
    check();
    if (child.exitCode !== null || child.signalCode !== null) ended();
  });

  return {
    child,
    exited,
    output: () => ({ ...text }),
    url: (timeoutMs = 20000) => waitFor('stdout', URL_LINE, timeoutMs).then((match) => match[1]),
    said: (pattern, timeoutMs = 20000) => waitFor('stderr', pattern, timeoutMs),
    stop() {
      if (child.exitCode === null && child.signalCode === null) child.kill('SIGKILL');
    },
  };
}
