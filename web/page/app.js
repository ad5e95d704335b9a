// The page's start: fetches the state, follows the pushed changes and sends the user's
// events to the application one at a time.
import { renderState } from './dialogs.js';
import { initView, showView } from './view.js';

const PROGRESS_DIALOG = 101; // progress and status of a run

let queue = Promise.resolve();
let lastState = null;
let ended = false;

// States come over two connections (the answer to an event and the event stream), so an
// older one can arrive after a newer one: it is dropped.
function show(state) {
  if (!state || ended) return;
  if (lastState && state.version < lastState.version) return;
  lastState = state;
  renderState(state, send);
  showDocument(state.document);
  showView(
    state.view,
    state.dialogs.some((d) => d.id === PROGRESS_DIALOG)
  );
  const fields = state.fields || {};
  for (const name of ['status', 'prompt', 'message', 'error']) {
    const el = document.getElementById('field-' + name);
    const text = fields[name] || '';
    if (el.textContent !== text) el.textContent = text;
  }
  if (lastBeeps !== null && state.beeps > lastBeeps) beep(state.beeps - lastBeeps);
  lastBeeps = state.beeps;
  // The main dialog stays open (perhaps hidden) as long as the application runs: nothing open
  // means it ended.
  if ((state.open ?? state.dialogs.length) === 0) end();
}

let lastBeeps = null;
let audio = null;

// The host's beep: short tones, one after the other.
function beep(count) {
  try {
    audio = audio || new AudioContext();
    for (let i = 0; i < Math.min(count, 4); i++) {
      const tone = audio.createOscillator();
      const gain = audio.createGain();
      gain.gain.value = 0.1;
      tone.frequency.value = 880;
      tone.connect(gain).connect(audio.destination);
      const at = audio.currentTime + i * 0.2;
      tone.start(at);
      tone.stop(at + 0.12);
    }
  } catch {
    // No audio in this browser: the dialog is cue enough.
  }
}

// A document the application asks to show opens in a window of its own, once per request;
// requests made before the page was loaded are not repeated. When the browser blocks the
// window, a link to the document takes its place.
let documentSerial = null;
function showDocument(request) {
  const serial = request ? request.serial : 0;
  const first = documentSerial === null;
  if (!first && serial <= documentSerial) return;
  documentSerial = serial;
  if (first || !request) return;
  const opened = window.open(request.href, '_blank');
  if (opened) {
    opened.opener = null;
    return;
  }
  let link = document.getElementById('document-link');
  if (!link) {
    link = document.createElement('a');
    link.id = 'document-link';
    link.target = '_blank';
    link.rel = 'noopener';
    link.textContent = 'Open the report';
    document.getElementById('fields').append(link);
  }
  link.href = request.href;
}

function end() {
  ended = true;
  document.getElementById('ended').hidden = false;
}

// Sends one event after the ones before it have been answered; the answer carries the state
// the event left, which is shown at once.
export function send(event) {
  queue = queue
    .then(() =>
      fetch('api/event', {
        method: 'POST',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify(event),
      })
    )
    .then((response) => response.json())
    .then((answer) => {
      if (answer && answer.state) show(answer.state);
      else if (!answer || answer.state === null) end();
    })
    .catch(() => {
      if (lastState && !lastState.dialogs.some((d) => d.id === 200002)) end();
    });
  return queue;
}

async function start() {
  initView(show);
  const response = await fetch('api/state');
  show(await response.json());
  const events = new EventSource('api/events');
  events.addEventListener('changed', (e) => show(JSON.parse(e.data)));
  events.addEventListener('error', () => {
    if (lastState && lastState.dialogs.length === 0) {
      events.close();
      end();
    }
  });
}

start().catch(() => end());
