// Runs as the module's glue arrives, after the page's script has run (both
// are deferred, in order) or failed to: only then does the page say that
// its script never started, never merely because the user acted early.
if (!document.documentElement.hasAttribute('data-started')) {
  document.documentElement.setAttribute('data-page-script-missing', '');
}
