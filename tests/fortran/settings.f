C     Retrieval settings seen from a Fortran caller: a box domain keeps
C     exactly the stations inside it, QC level 2 removes values the level
C     does not accept, a window with nearest-report selection lists every
C     station once, and invalid settings are refused with status 15.
      PROGRAM SETTNGS
      IMPLICIT NONE
      INTEGER MXSTA
      PARAMETER (MXSTA = 600000)
      CHARACTER*9 CTIME
      CHARACTER*10 STID(MXSTA), PRVID(MXSTA)
      CHARACTER*9 CRPTTM(MXSTA)
      INTEGER ISTNM(MXSTA), ISRCN(MXSTA)
      REAL SLAT(MXSTA), SLON(MXSTA), SELV(MXSTA)
      REAL T0(MXSTA), T2(MXSTA)
      CHARACTER*1 Q0(MXSTA), Q2(MXSTA)
      INTEGER IA(MXSTA), IR(MXSTA)
      INTEGER IST, N0, NBOX, NIN, NS, NO, I, J, NBAD, NFAIL, NPASS
      INTEGER NDROP
      LOGICAL INBOX
      SAVE
      NFAIL = 0
      NPASS = 0
      CALL MINIT('SFC', 'ZEM', .FALSE., IST)
      CALL CHECK(IST .EQ. 0, 'MINIT', NPASS, NFAIL)
      CALL MSETSFCPVDR('ALL-SFC', .FALSE., IST)
      CALL MSETSFCPVDR('ALL-MESO', .TRUE., IST)
      CALL MCHRTIM(2021, 8, 25, 20, 0, CTIME, IST)
      CALL MSFCSTA(CTIME, N0, STID, ISTNM, SLAT, SLON, SELV, CRPTTM,
     &  PRVID, IST, ISRCN)
      CALL CHECK(IST .EQ. 0 .AND. N0 .GT. 100, 'station list', NPASS,
     &  NFAIL)
C     Count the stations inside the box before asking for it.
      NIN = 0
      DO I = 1, N0
        IF (INBOX(SLAT(I), SLON(I))) NIN = NIN + 1
      END DO
      CALL MGETSFC(CTIME, 'T', NS, NO, T0, Q0, IA, IR, IST)
      CALL CHECK(IST .EQ. 0, 'temperature at QC level 0', NPASS, NFAIL)

      CALL MSETBOXDOM(35.0, 45.0, -110.0, -90.0, IST)
      CALL CHECK(IST .EQ. 0, 'box domain accepted', NPASS, NFAIL)
      CALL MSFCSTA(CTIME, NBOX, STID, ISTNM, SLAT, SLON, SELV, CRPTTM,
     &  PRVID, IST, ISRCN)
      CALL CHECK(IST .EQ. 0 .AND. NBOX .EQ. NIN .AND. NBOX .LT. N0,
     &  'box keeps exactly the stations inside', NPASS, NFAIL)
      NBAD = 0
      DO I = 1, NBOX
        IF (.NOT. INBOX(SLAT(I), SLON(I))) NBAD = NBAD + 1
      END DO
      CALL CHECK(NBAD .EQ. 0, 'no station outside the box', NPASS,
     &  NFAIL)

      CALL MSETNODOM(IST)
      CALL MSFCSTA(CTIME, NS, STID, ISTNM, SLAT, SLON, SELV, CRPTTM,
     &  PRVID, IST, ISRCN)
      CALL CHECK(IST .EQ. 0 .AND. NS .EQ. N0, 'no domain again',
     &  NPASS, NFAIL)
      CALL MSETQCLVL(2, IST)
      CALL CHECK(IST .EQ. 0, 'QC level 2 accepted', NPASS, NFAIL)
      CALL MGETSFC(CTIME, 'T', NS, NO, T2, Q2, IA, IR, IST)
      CALL CHECK(IST .EQ. 0 .OR. IST .EQ. 1005,
     &  'temperature at level 2', NPASS, NFAIL)
C     Level 2 accepts S, V, G, I, W, T: every other descriptor loses its
C     value, every accepted one keeps the value of level 0.
      NBAD = 0
      NDROP = 0
      DO I = 1, N0
        IF (INDEX('SVGIWT', Q2(I)) .EQ. 0) THEN
          IF (T2(I) .NE. 999999.0) NBAD = NBAD + 1
          IF (T0(I) .NE. 999999.0) NDROP = NDROP + 1
        ELSE
          IF (T2(I) .NE. T0(I)) NBAD = NBAD + 1
        END IF
      END DO
      CALL CHECK(NBAD .EQ. 0, 'level 2 filters by descriptor', NPASS,
     &  NFAIL)
      CALL CHECK(NDROP .GT. 0, 'level 2 removes some values', NPASS,
     &  NFAIL)
      CALL MSETQCLVL(0, IST)

      CALL MSETWIN(-60, 60, 1, IST)
      CALL CHECK(IST .EQ. 0, 'window accepted', NPASS, NFAIL)
      CALL MSFCSTA(CTIME, NS, STID, ISTNM, SLAT, SLON, SELV, CRPTTM,
     &  PRVID, IST, ISRCN)
      CALL CHECK(IST .EQ. 0 .AND. NS .GT. 0, 'window list', NPASS,
     &  NFAIL)
      NBAD = 0
      DO I = 1, MIN(NS, 3000)
        DO J = I + 1, MIN(NS, 3000)
          IF (STID(I) .EQ. STID(J) .AND. PRVID(I) .EQ. PRVID(J))
     &      NBAD = NBAD + 1
        END DO
      END DO
      CALL CHECK(NBAD .EQ. 0, 'nearest report: each station once',
     &  NPASS, NFAIL)

      CALL MSETQCLVL(5, IST)
      CALL CHECK(IST .EQ. 15, 'QC level 5 refused', NPASS, NFAIL)
      CALL MSETWIN(30, -30, 1, IST)
      CALL CHECK(IST .EQ. 15, 'inverted window refused', NPASS, NFAIL)
      CALL MSETBOXDOM(45.0, 35.0, -110.0, -90.0, IST)
      CALL CHECK(IST .EQ. 15, 'inverted box refused', NPASS, NFAIL)

      WRITE (*, '(I0, A, I0, A)') NPASS, ' passed, ', NFAIL, ' failed'
      IF (NFAIL .NE. 0) STOP 1
      END

      LOGICAL FUNCTION INBOX(LAT, LON)
      REAL LAT, LON
      INBOX = LAT .GE. 35.0 .AND. LAT .LE. 45.0 .AND.
     &        LON .GE. -110.0 .AND. LON .LE. -90.0
      END

