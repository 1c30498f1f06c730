// Renders LaTeX strings with KaTeX in display mode and reports parse errors.
// Input (stdin): a JSON array of strings. Output (stdout): a JSON array of the
// same length holding null for a string that rendered and the error message
// otherwise.
'use strict';

const KATEX_PATH = process.env.KATEX_PATH || '/usr/share/nodejs/katex';

let katex;
try {
  katex = require(KATEX_PATH);
} catch (err) {
  process.stderr.write(`cannot load the KaTeX library from ${KATEX_PATH}: ${err.message}\n`);
  process.exit(2);
}

const chunks = [];
process.stdin.setEncoding('utf8');
process.stdin.on('data', (chunk) => chunks.push(chunk));
process.stdin.on('end', () => {
  let inputs;
  try {
    inputs = JSON.parse(chunks.join(''));
  } catch (err) {
    process.stderr.write(`input is not JSON: ${err.message}\n`);
    process.exit(3);
  }
  if (!Array.isArray(inputs) || !inputs.every((s) => typeof s === 'string')) {
    process.stderr.write('input must be a JSON array of strings\n');
    process.exit(3);
  }
  const results = inputs.map((source) => {
    try {
      katex.renderToString(source, { displayMode: true, throwOnError: true });
      return null;
    } catch (err) {
      return String(err && err.message ? err.message : err);
    }
  });
  process.stdout.write(JSON.stringify(results));
});
