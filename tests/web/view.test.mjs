// What the page draws from a model (src/web/logic/view.js), where it does
// not follow from a transition: the Copy & Open button and its hint with
// and without a clipboard.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { Console } from './console-driver.mjs';

test('without a clipboard the button only opens, and a hint says to copy the code by hand', () => {
  const noClip = new Console(false);
  assert.equal(noClip.view.buttons.copy.label, 'Open LumiVane');
  assert.match(noClip.view.copyHint, /copy the code by hand before the page opens/);
  assert.equal(new Console(true).view.buttons.copy.label, 'Copy Code & Open LumiVane');
  assert.equal(new Console(true).view.copyHint, '');
});
