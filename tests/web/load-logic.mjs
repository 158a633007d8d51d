// Loads the console's logic scripts the way the page does: the scripts
// that page.html names under logic/, in its order, as classic scripts,
// into one context of their own, and returns what they define
// (ConsoleLogic). The context has no window, document, fetch or storage:
// a logic script that reached for one would fail here.
import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';
import { fileURLToPath } from 'node:url';

const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const WEB_DIR = path.join(ROOT, 'src/web');

// The files page.html loads as scripts, in its order.
export function pageScripts() {
  const page = fs.readFileSync(path.join(WEB_DIR, 'page.html'), 'utf8');
  return [...page.matchAll(/<script src="([^"]+)"><\/script>/g)].map((m) => m[1]);
}

export const LOGIC_FILES = pageScripts().filter((name) => name.startsWith('logic/'))
  .map((name) => path.join(WEB_DIR, name));

export function loadLogic() {
  const sandbox = { URL };
  vm.createContext(sandbox);
  for (const file of LOGIC_FILES) vm.runInContext(fs.readFileSync(file, 'utf8'), sandbox, { filename: file });
  return sandbox.ConsoleLogic;
}
